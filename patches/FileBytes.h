#pragma once
// The file step shared by patches and checksums: reading a whole file with a
// size limit, writing a whole file through a temporary file in the same
// folder that is renamed into place, and telling whether two paths name the
// same file. Reasons are clauses in lower case without a final full stop.

#include <cstdint>
#include <string>

#include "patches/PatchFormat.h"

namespace patches {

// How a file operation ended, and the exit status a command line gives it.
enum class FileStatus {
    Done,     // 0: the work was done (or the answer is "yes")
    Refused,  // 1: the input or the request is not acceptable; nothing was written
    Failed,   // 2: the system failed to read or write a file; nothing was written
};

int ExitCodeOf(FileStatus status);

struct FileRead {
    Bytes bytes;
    FileStatus status = FileStatus::Done;
    std::string reason;
};

// Reads the whole file. Refused for a folder or a file larger than
// `maxSize` (before anything is read into memory); Failed when the system
// cannot open or read it.
FileRead ReadWholeFile(const std::string& path, uint64_t maxSize);

struct FileWrite {
    FileStatus status = FileStatus::Done;
    std::string reason;
};

// Writes `bytes` to a new temporary file next to `path`, flushes it to the
// disk, and renames it to `path`. An existing file at `path` is replaced only
// when `replace` is true; otherwise the write is Refused, also when the file
// appears while the temporary file is being written. On any failure the
// temporary file is removed and `path` is untouched.
FileWrite WriteFileThroughTemporary(const std::string& path, ByteSpan bytes, bool replace);

// True when both paths name the same file: the same device and inode (when
// both exist, after symbolic links) or the same path once made absolute and
// normal.
bool SameFile(const std::string& first, const std::string& second);

// True when something (a file, folder or link) exists at the path.
bool PathExists(const std::string& path);

// True when the path names a folder (after symbolic links).
bool IsFolder(const std::string& path);

}  // namespace patches
