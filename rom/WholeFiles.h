#pragma once
// Whole files: reading one with a size limit, writing one through a
// temporary file in the same folder that is flushed and renamed into place (so
// that the path holds either the old file or all of the new one), and telling
// whether two paths name the same file.
//
// A name given for output is written where it points: a symbolic link (or a
// chain of them) is followed and the file it finally names is replaced, the
// link staying a link; a character device, a FIFO or a socket is written into
// once, never replaced; a replaced file keeps its permissions and, where the
// process may set it, its owner. Failures are values, never thrown:
// a reason is a clause in lower case without a final full stop, and a number
// in the system's errno numbering.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rom {

// How a file operation ended, and the exit status a command line gives it.
enum class FileStatus {
    Done,     // 0: the work was done (or the answer is "yes")
    Refused,  // 1: the input or the request is not acceptable; nothing was written
    Failed,   // 2: the system failed to read or write a file; nothing was written
};

int ExitCodeOf(FileStatus status);

struct FileRead {
    std::vector<uint8_t> bytes;
    FileStatus status = FileStatus::Done;
    std::string reason;
    int number = 0;  // errno of a failure (EISDIR for a folder); EINVAL or EFBIG for a refusal
};

// Reads the whole file. Refused for a file larger than `maxSize` (before
// anything is read into memory) or no regular file; Failed for a folder and
// when the system cannot open or read it.
FileRead ReadWholeFile(const std::string& path, uint64_t maxSize);

struct FileWrite {
    FileStatus status = FileStatus::Done;
    std::string reason;
    int number = 0;  // errno of a failure; EEXIST for a refusal
};

// Writes `bytes` to the file `path` finally names (see ResolveOutput):
// - a plain file, existing or new: to a new temporary file in that file's
//   folder, flushed to the disk and renamed over it. An existing file is
//   replaced only when `replace` is true; otherwise the write is Refused, also
//   when the file appears while the temporary file is being written. The new
//   file gets the old one's mode and, where the process may, its owner. On any
//   failure the temporary file is removed and the file is untouched.
// - a stream (standard output, a character device, a FIFO or a socket):
//   written into once, whatever `replace` says.
// A folder, a dangling link or a link loop is Failed: nothing can be written
// there.
FileWrite WriteFileThroughTemporary(const std::string& path, std::span<const uint8_t> bytes, bool replace);

// What a name given for output finally names.
enum class OutputKind {
    NewFile,       // nothing yet: a plain file is created
    File,          // an existing plain file, replaced whole
    Stream,        // standard output, a character device, a FIFO or a socket: written into
    Folder,        // a folder: nothing can be written
    DanglingLink,  // a symbolic link to nothing: nothing is written
};

struct OutputTarget {
    OutputKind kind = OutputKind::NewFile;
    // The name the symbolic links finally lead to (the name itself when it is
    // no link); for a stream, the name as given.
    std::string path;
    bool standardOutput = false;  // the stream is this process's standard output
    bool socket = false;          // the stream is a local socket, connected to rather than opened
    int number = 0;               // errno when the name could not be followed (a loop, no permission)
    std::string reason;           // why nothing can be written there; empty for NewFile, File and Stream
};

// Follows the symbolic links of `path` (relative ones from the folder of the
// link that holds them, up to 40 in a chain) and says what the name finally
// names. A name whose file is this process's standard output (/dev/stdout, a
// file that standard output is redirected into) is a stream.
OutputTarget ResolveOutput(const std::string& path);

// The name of the temporary file WriteFileThroughTemporary writes beside the
// file `name`: hidden, and saying what it is, so that one left behind by a
// kill (the file itself is then whole, old or new) is known for what it is
// and can be deleted: ".NAME.quillmere-unfinished-PID-SERIAL".
std::string TemporaryFileName(const std::string& name, long processId, unsigned serial);

// True when both paths name the same file: the same device and inode (when
// both exist, after symbolic links) or the same path once made absolute and
// normal.
bool SameFile(const std::string& first, const std::string& second);

// True when the path names a file that an output may not replace without
// leave: an existing plain file (also through links). False for a stream,
// which is written into, and for a name with nothing behind it.
bool OutputFileExists(const std::string& path);

// True when something (a file, folder or link) exists at the path.
bool PathExists(const std::string& path);

// True when the path names a folder (after symbolic links).
bool IsFolder(const std::string& path);

}  // namespace rom
