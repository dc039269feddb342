#include "rom/ImageFacts.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "rom/FailureReporter.h"
#include "rom/HexDigits.h"
#include "rom/HexFunctions.h"

namespace rom {

namespace {

constexpr int64_t kHeaderChecksumFirst = 0x134;
constexpr int64_t kHeaderChecksumLast = 0x14C;

uint8_t ByteAt(std::span<const uint8_t> bytes, int64_t offset) {
    return offset >= 0 && offset < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(offset)] : 0;
}

// The part of `image` from `offset` on, `count` bytes long; shorter (or empty)
// where the image ends first.
std::span<const uint8_t> Range(std::span<const uint8_t> image, int64_t offset, int64_t count) {
    if (offset < 0 || offset >= static_cast<int64_t>(image.size())) return {};
    const int64_t available = static_cast<int64_t>(image.size()) - offset;
    return image.subspan(static_cast<size_t>(offset), static_cast<size_t>(std::min(count, available)));
}

int64_t BaseRecordsLength() { return int64_t{kSpeciesCount} * EntrySize(SpeciesTable::BaseRecord); }
int64_t CryEntriesLength() { return int64_t{kSpeciesCount} * EntrySize(SpeciesTable::CryEntry); }

// Byte 0 of base record k holds the species number k + 1. A short range never
// passes: bytes past the end of a file are not species numbers.
bool BaseRecordsAreNumbered(std::span<const uint8_t> records) {
    const int64_t recordSize = EntrySize(SpeciesTable::BaseRecord);
    if (static_cast<int64_t>(records.size()) < BaseRecordsLength()) return false;
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        if (records[static_cast<size_t>(k * recordSize)] != k + 1) return false;
    }
    return true;
}

// Byte 1 of every cry entry is 0 in the released images; no field lies there.
bool CryEntriesHaveZeroSecondByte(std::span<const uint8_t> cries) {
    const int64_t entrySize = EntrySize(SpeciesTable::CryEntry);
    if (static_cast<int64_t>(cries.size()) < CryEntriesLength()) return false;
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        if (cries[static_cast<size_t>(k * entrySize + 1)] != 0) return false;
    }
    return true;
}

// The first byte after the last of the four released tables.
int64_t ReleasedTablesEnd(GameVersion version) {
    const VersionProfile profile = ReleasedProfile(version);
    int64_t end = 0;
    for (const SpeciesField& field : kSpeciesFields) {
        const int64_t last = int64_t{*FieldOffset(profile, kSpeciesCount - 1, field)} + field.width;
        end = std::max(end, last);
    }
    return end;
}

// A complete image is released only when it also holds every table: bytes
// past its end read as 0 and would pass the cry check.
ImageLayout Decide(bool complete, int64_t fileSize, GameVersion version, std::span<const uint8_t> baseRecords,
                   std::span<const uint8_t> cryEntries) {
    const bool numbered = BaseRecordsAreNumbered(baseRecords);
    if (!complete) return numbered ? ImageLayout::Released : ImageLayout::HandBuilt;
    return numbered && CryEntriesHaveZeroSecondByte(cryEntries) && fileSize >= ReleasedTablesEnd(version)
               ? ImageLayout::Released
               : ImageLayout::Unknown;
}

// Reads `count` bytes at `offset` (bytes past the end read as 0); nullopt
// after a reported failure.
std::optional<std::vector<uint8_t>> ReadBytes(const std::string& path, int64_t offset, int64_t count) {
    const std::optional<std::string> hex =
        HexFunctions::TryReadHexBytes(path, static_cast<int32_t>(offset), static_cast<int32_t>(count));
    if (!hex) return std::nullopt;
    std::vector<uint8_t> bytes(hex->size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(hexdigits::Value((*hex)[2 * i]) * 16 + hexdigits::Value((*hex)[2 * i + 1]));
    }
    return bytes;
}

}  // namespace

uint8_t HeaderChecksum(std::span<const uint8_t> image) {
    uint8_t x = 0;
    for (int64_t offset = kHeaderChecksumFirst; offset <= kHeaderChecksumLast; ++offset) {
        x = static_cast<uint8_t>(x - ByteAt(image, offset) - 1);
    }
    return x;
}

uint16_t GlobalChecksum(std::span<const uint8_t> image) {
    uint32_t sum = 0;
    for (uint8_t byte : image) sum += byte;
    sum -= ByteAt(image, kGlobalChecksumOffset);
    sum -= ByteAt(image, kGlobalChecksumOffset + 1);
    return static_cast<uint16_t>(sum);
}

std::optional<int64_t> DeclaredRomSize(uint8_t romSizeByte) {
    if (romSizeByte > 8) return std::nullopt;
    return int64_t{32 * 1024} << romSizeByte;
}

CartridgeHeader ReadCartridgeHeader(std::span<const uint8_t> image) {
    CartridgeHeader header;
    for (int64_t offset = kTitleOffset; offset < kTitleOffset + kTitleLength; ++offset) {
        const uint8_t byte = ByteAt(image, offset);
        if (byte >= 0x20 && byte < 0x7F) header.title.push_back(static_cast<char>(byte));
    }
    header.cartridgeType = ByteAt(image, kCartridgeTypeOffset);
    header.romSizeByte = ByteAt(image, kRomSizeOffset);
    header.destinationCode = ByteAt(image, kDestinationOffset);
    header.romVersion = ByteAt(image, kRomVersionOffset);
    header.headerChecksum = ByteAt(image, kHeaderChecksumOffset);
    header.globalChecksum = static_cast<uint16_t>(ByteAt(image, kGlobalChecksumOffset) << 8 |
                                                  ByteAt(image, kGlobalChecksumOffset + 1));
    return header;
}

bool IsCompleteImage(std::span<const uint8_t> header, int64_t fileSize) {
    if (static_cast<int64_t>(header.size()) < kHeaderEnd || fileSize < kHeaderEnd) return false;
    if (HeaderChecksum(header) != header[kHeaderChecksumOffset]) return false;
    const std::optional<int64_t> declared = DeclaredRomSize(header[kRomSizeOffset]);
    return declared && *declared == fileSize;
}

std::string_view LayoutName(ImageLayout layout) {
    switch (layout) {
        case ImageLayout::Released:
            return "released";
        case ImageLayout::HandBuilt:
            return "hand-built";
        case ImageLayout::Unknown:
            return "unknown";
    }
    return "unknown";
}

std::optional<VersionProfile> ProfileOf(ImageLayout layout, GameVersion version) {
    switch (layout) {
        case ImageLayout::Released:
            return ReleasedProfile(version);
        case ImageLayout::HandBuilt:
            return DefaultProfile(version);
        case ImageLayout::Unknown:
            return std::nullopt;
    }
    return std::nullopt;
}

ImageLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version) {
    const VersionProfile released = ReleasedProfile(version);
    return Decide(IsCompleteImage(image, static_cast<int64_t>(image.size())), static_cast<int64_t>(image.size()),
                  version,
                  Range(image, released.BaseStatsOffset, BaseRecordsLength()),
                  Range(image, released.CryTableOffset, CryEntriesLength()));
}

std::optional<ImageLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version) {
    const std::optional<std::vector<uint8_t>> header = ReadBytes(path, 0, kHeaderEnd);
    if (!header) return std::nullopt;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        ReportFailure({error.value(), "Could not measure the length of \"" + path + "\": " + error.message() + "."});
        return std::nullopt;
    }
    const bool complete = IsCompleteImage(*header, static_cast<int64_t>(size));

    const VersionProfile released = ReleasedProfile(version);
    const std::optional<std::vector<uint8_t>> records = ReadBytes(path, released.BaseStatsOffset, BaseRecordsLength());
    if (!records) return std::nullopt;
    std::vector<uint8_t> cries;
    if (complete) {
        std::optional<std::vector<uint8_t>> read = ReadBytes(path, released.CryTableOffset, CryEntriesLength());
        if (!read) return std::nullopt;
        cries = std::move(*read);
    }
    // Bytes past the end read as 0, and 0 is no species number: a short file
    // never shows numbered records.
    return Decide(complete, static_cast<int64_t>(size), version, *records, cries);
}

}  // namespace rom
