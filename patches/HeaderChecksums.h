#pragma once
// The two checksums of a cartridge header (the header checksum at 0x14D and
// the global checksum at 0x14E-0x14F, computed by the ROM library): reading
// them from a file, and writing the computed values in place.

#include <cstdint>
#include <string>

#include "patches/PatchFiles.h"
#include "rom/ImageReplacement.h"

namespace patches {

struct ChecksumReport {
    FileStatus status = FileStatus::Done;
    std::string message;  // why the file could not be checked; empty when it was
    int number = 0;       // errno of a file that could not be read; 0 otherwise

    uint8_t storedHeader = 0;
    uint8_t computedHeader = 0;
    uint16_t storedGlobal = 0;   // read big-endian from 0x14E
    uint16_t computedGlobal = 0;  // over the bytes as they are, header checksum included

    bool checked() const { return status == FileStatus::Done; }
    bool headerRight() const { return storedHeader == computedHeader; }
    bool globalRight() const { return storedGlobal == computedGlobal; }
    bool bothRight() const { return headerRight() && globalRight(); }
    // 0 when both are right, 1 when one is wrong, 2 when the file could not be checked.
    int ExitCode() const;
};

// Reads the image and reports the stored and computed checksums. Refused for
// a file too short to hold a header (0x150 bytes) or larger than 64 MiB.
ChecksumReport ReadChecksums(const std::string& path);

struct ChecksumFix {
    ChecksumReport before;
    FileStatus status = FileStatus::Done;
    std::string message;  // a full sentence: what changed, or why nothing was written
    int number = 0;       // errno of a file that could not be read or written; 0 otherwise

    uint8_t header = 0;   // the header checksum now stored (after a successful fix)
    uint16_t global = 0;  // the global checksum now stored, over the fixed header checksum
    bool headerChanged = false;
    bool globalChanged = false;
    bool cut = false;  // refused: the image is shorter than its header declares

    bool ok() const { return status == FileStatus::Done; }
    // 0 when both checksums are now right; 2 when the image could not be
    // checked or written (as ChecksumReport, whose 1 means "wrong").
    int ExitCode() const { return ok() ? 0 : 2; }
};

// Writes the computed header checksum, and the global checksum computed over
// it, into bytes 0x14D-0x14F of the image. Whole: the image is replaced by a
// new file with the fixed bytes (written beside it, flushed, renamed over
// it), refused when that would lose something (rom::CheckWholeReplacement).
// In place: the three bytes are written into the file, through the byte
// layer's never-grow, never-create rules (checked before the write). Writes
// nothing when both are already right. An image shorter than its header
// declares is refused unless `evenIfCut`.
ChecksumFix FixChecksums(const std::string& path, bool evenIfCut = false,
                         rom::ImageWriteMode mode = rom::ImageWriteMode::Whole);

}  // namespace patches
