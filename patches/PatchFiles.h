#pragma once
// Creating and applying patches between files. Every refusal happens before
// anything is written, and a file is written whole through a temporary file
// in the same folder that is flushed and renamed into place, so that no part
// of a file is ever left behind.

#include <string>

#include "patches/PatchFormat.h"
#include "rom/WholeFiles.h"

namespace patches {

// The whole-file steps come from the ROM library.
using rom::ExitCodeOf;
using rom::FileRead;
using rom::FileStatus;
using rom::FileWrite;
using rom::IsFolder;
using rom::PathExists;
using rom::ReadWholeFile;
using rom::SameFile;
using rom::WriteFileThroughTemporary;

// The largest image (original, modified or the image a patch applies to)
// these steps read.
inline constexpr uint64_t kMaxImageFileSize = kMaxBpsTargetSize;
// The largest patch file they read: every byte of the largest target, and room
// for the actions around them.
inline constexpr uint64_t kMaxPatchFileSize = 2 * kMaxBpsTargetSize;

// How a step ended: a full sentence for the user, saying what was written or
// why nothing was.
struct FileOutcome {
    FileStatus status = FileStatus::Done;
    std::string message;
    int number = 0;  // errno of a file that could not be read or written; 0 otherwise

    bool ok() const { return status == FileStatus::Done; }
    int ExitCode() const { return ExitCodeOf(status); }
};

// Writes a patch that turns the file `originalPath` into `modifiedPath`, in
// the format named by `patchPath`'s extension (".ips" or ".bps"; any other is
// refused). PATCH may not be ORIGINAL or MODIFIED; an existing patch file
// there is replaced.
FileOutcome CreatePatchFile(const std::string& originalPath, const std::string& modifiedPath,
                            const std::string& patchPath);

// Applies the patch in `patchPath` (IPS or BPS, told by its first bytes) to
// `imagePath` and writes the result to `outputPath`. OUTPUT may not be IMAGE
// or PATCH, nor a folder; an existing OUTPUT is kept unless `force`. IMAGE and
// PATCH are never written.
FileOutcome ApplyPatchFile(const std::string& patchPath, const std::string& imagePath,
                           const std::string& outputPath, bool force);

}  // namespace patches
