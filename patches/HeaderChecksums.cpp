#include "patches/HeaderChecksums.h"

#include <vector>

#include "patches/Guarded.h"

#include "patches/PatchFiles.h"
#include "rom/FailureReporter.h"
#include "rom/HexDigits.h"
#include "rom/HexFunctions.h"
#include "rom/ImageReplacement.h"
#include "rom/ImageFacts.h"
#include "rom/ImageLength.h"

namespace patches {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

int ChecksumReport::ExitCode() const {
    if (!checked()) return 2;
    return bothRight() ? 0 : 1;
}

namespace {

// The report and, for a fix, the bytes it was made from.
ChecksumReport Check(const std::string& path, std::vector<uint8_t>* keep) {
    ChecksumReport report;
    FileRead read = ReadWholeFile(path, kMaxImageFileSize);
    if (read.status != FileStatus::Done) {
        report.status = read.status;
        report.number = read.number;
        report.message = "Could not read the image " + Quoted(path) + ": " + read.reason + ".";
        return report;
    }
    if (!rom::HoldsHeader(static_cast<int64_t>(read.bytes.size()))) {
        report.status = FileStatus::Refused;
        report.message = rom::TooShortMessage(path, static_cast<int64_t>(read.bytes.size()));
        return report;
    }
    const rom::CartridgeHeader header = rom::ReadCartridgeHeader(read.bytes);
    report.storedHeader = header.headerChecksum;
    report.computedHeader = rom::HeaderChecksum(read.bytes);
    report.storedGlobal = header.globalChecksum;
    report.computedGlobal = rom::GlobalChecksum(read.bytes);
    if (keep != nullptr) *keep = std::move(read.bytes);
    return report;
}

std::string Hex(uint64_t value, size_t digits) {
    return "0x" + rom::hexdigits::Of(value, digits);
}

// The three bytes written into the file itself, checked first, then flushed.
bool WriteInPlace(const std::string& path, ChecksumFix& fix) {
    const std::string hex = rom::hexdigits::Of(fix.header, 2) + rom::hexdigits::Of(fix.global, 4);
    rom::ScopedFailureCapture capture;
    if (!HexFunctions::CheckWritable(path, rom::kHeaderChecksumOffset, 3) ||
        !HexFunctions::WriteHexBytes(path, rom::kHeaderChecksumOffset, hex)) {
        fix.status = FileStatus::Failed;
        fix.number = capture.captured() ? capture.captured()->number : 0;
        fix.message = capture.captured() ? capture.captured()->description
                                         : "Could not write the checksums of " + Quoted(path) + ".";
        fix.header = fix.before.storedHeader;
        fix.global = fix.before.storedGlobal;
        fix.headerChanged = fix.globalChanged = false;
        return false;
    }
    // The three bytes are written; make them durable before saying so.
    if (!HexFunctions::SyncFile(path)) {
        fix.status = FileStatus::Failed;
        fix.number = capture.captured() ? capture.captured()->number : 0;
        fix.message = capture.captured() ? capture.captured()->description
                                         : "Could not flush the checksums of " + Quoted(path) + " to the disk.";
        return false;
    }
    return true;
}

// Clears what a fix that wrote nothing would otherwise claim.
void Unfixed(ChecksumFix& fix, FileStatus status, std::string message) {
    fix.status = status;
    fix.message = std::move(message);
    fix.header = fix.before.storedHeader;
    fix.global = fix.before.storedGlobal;
    fix.headerChanged = fix.globalChanged = false;
}

// The image with the fixed checksums written beside the file and renamed
// over it, after checking that nothing is lost by replacing it whole.
bool WriteWhole(const std::string& path, std::vector<uint8_t>& image, ChecksumFix& fix) {
    const rom::ReplacementCheck check = rom::CheckWholeReplacement(path);
    if (!check.ok()) {
        std::string message = "Could not write the checksums of " + Quoted(path) + ": " + check.reason +
                              ". Nothing was written.";
        if (check.inPlaceWouldDo) message += " " + std::string(rom::kInPlaceHint);
        Unfixed(fix, check.status, std::move(message));
        return false;
    }
    image[rom::kGlobalChecksumOffset] = static_cast<uint8_t>(fix.global >> 8);
    image[rom::kGlobalChecksumOffset + 1] = static_cast<uint8_t>(fix.global & 0xFF);
    const FileWrite write = WriteFileThroughTemporary(check.target, image, /*replace=*/true);
    if (write.status != FileStatus::Done) {
        Unfixed(fix, write.status,
                "Could not write the checksums of " + Quoted(path) + ": " + write.reason + ". The image is as it was.");
        fix.number = write.number;
        return false;
    }
    return true;
}

ChecksumFix FixUnguarded(const std::string& path, bool evenIfCut, rom::ImageWriteMode mode) {
    ChecksumFix fix;
    std::vector<uint8_t> image;
    fix.before = Check(path, &image);
    if (!fix.before.checked()) {
        fix.status = fix.before.status;
        fix.number = fix.before.number;
        fix.message = fix.before.message + " Nothing was written.";
        return fix;
    }
    // A global checksum over a cut image sums bytes that are missing: it is
    // a wrong answer, written only when asked for.
    const rom::ImageLength length = rom::LengthOf(image);
    if (length.Shorter() && !evenIfCut) {
        fix.status = FileStatus::Refused;
        fix.cut = true;
        fix.message = "Refused to fix the checksums of " + Quoted(path) + ": it is " + std::to_string(length.size) +
                      " bytes long, shorter than the " + std::to_string(*length.declared) +
                      " bytes its header declares, so a global checksum over it would be wrong. Nothing was "
                      "written.";
        return fix;
    }
    // The global sum includes the header checksum: compute it over the
    // corrected one.
    fix.header = fix.before.computedHeader;
    image[rom::kHeaderChecksumOffset] = fix.header;
    fix.global = rom::GlobalChecksum(image);
    fix.headerChanged = fix.header != fix.before.storedHeader;
    fix.globalChanged = fix.global != fix.before.storedGlobal;

    if (!fix.headerChanged && !fix.globalChanged) {
        fix.message = "Both checksums of " + Quoted(path) + " are already right (header " +
                      Hex(fix.header, 2) + ", global " + Hex(fix.global, 4) + "); nothing was written.";
        return fix;
    }

    const bool written = mode == rom::ImageWriteMode::Whole ? WriteWhole(path, image, fix) : WriteInPlace(path, fix);
    if (!written) return fix;

    std::string changes;
    auto describe = [&](const char* name, bool changed, uint64_t from, uint64_t to, size_t digits) {
        if (!changes.empty()) changes += ", ";
        changes += std::string(name) + " checksum ";
        changes += changed ? Hex(from, digits) + " -> " + Hex(to, digits) : Hex(to, digits) + " (unchanged)";
    };
    describe("header", fix.headerChanged, fix.before.storedHeader, fix.header, 2);
    describe("global", fix.globalChanged, fix.before.storedGlobal, fix.global, 4);
    fix.message = "Fixed the checksums of " + Quoted(path) + ": " + changes + ".";
    return fix;
}

}  // namespace

ChecksumReport ReadChecksums(const std::string& path) {
    return Guarded([&] { return Check(path, nullptr); },
                   [&](const std::string& reason) {
                       ChecksumReport report;
                       report.status = FileStatus::Failed;
                       report.message = "Could not check the image " + Quoted(path) + ": " + reason + ".";
                       return report;
                   });
}

ChecksumFix FixChecksums(const std::string& path, bool evenIfCut, rom::ImageWriteMode mode) {
    return Guarded([&] { return FixUnguarded(path, evenIfCut, mode); },
                   [&](const std::string& reason) {
                       ChecksumFix fix;
                       fix.status = FileStatus::Failed;
                       fix.message = "Could not fix the checksums of " + Quoted(path) + ": " + reason + ".";
                       return fix;
                   });
}

}  // namespace patches
