#pragma once
// Whole files: reading one with a size limit, writing one through a
// temporary file in the same folder that is flushed and renamed into place (so
// that the path holds either the old file or all of the new one), and telling
// whether two paths name the same file. Failures are values, never thrown:
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
    int number = 0;  // errno of a failure; EISDIR, EINVAL or EFBIG for a refusal
};

// Reads the whole file. Refused for a folder or a file larger than
// `maxSize` (before anything is read into memory); Failed when the system
// cannot open or read it.
FileRead ReadWholeFile(const std::string& path, uint64_t maxSize);

struct FileWrite {
    FileStatus status = FileStatus::Done;
    std::string reason;
    int number = 0;  // errno of a failure; EISDIR or EEXIST for a refusal
};

// Writes `bytes` to a new temporary file next to `path`, flushes it to the
// disk, and renames it to `path`. An existing file at `path` is replaced only
// when `replace` is true; otherwise the write is Refused, also when the file
// appears while the temporary file is being written. On any failure the
// temporary file is removed and `path` is untouched.
FileWrite WriteFileThroughTemporary(const std::string& path, std::span<const uint8_t> bytes, bool replace);

// The name of the temporary file WriteFileThroughTemporary writes beside the
// file `name`: hidden, and saying what it is, so that one left behind by a
// kill (the file itself is then whole, old or new) is known for what it is
// and can be deleted: ".NAME.quillmere-unfinished-PID-SERIAL".
std::string TemporaryFileName(const std::string& name, long processId, unsigned serial);

// True when both paths name the same file: the same device and inode (when
// both exist, after symbolic links) or the same path once made absolute and
// normal.
bool SameFile(const std::string& first, const std::string& second);

// True when something (a file, folder or link) exists at the path.
bool PathExists(const std::string& path);

// True when the path names a folder (after symbolic links).
bool IsFolder(const std::string& path);

}  // namespace rom
