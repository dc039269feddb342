#include "rom/ImageFacts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "rom/FailureReporter.h"
#include "rom/HexDigits.h"
#include "rom/HexFunctions.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "rom/WholeFiles.h"

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

constexpr int64_t kEggPointersLength = int64_t{kSpeciesCount} * 2;

int64_t TableLength(SpeciesTable table) { return int64_t{kSpeciesCount} * EntrySize(table); }

std::string Hex(int64_t value) { return "0x" + hexdigits::Of(static_cast<uint64_t>(value)); }
std::string ByteHex(int64_t value) { return "0x" + hexdigits::Of(static_cast<uint64_t>(value), 2); }

// Reads `count` bytes at `offset` of the image (bytes past its end are left
// out or read as 0); nullopt after a reported failure.
using Reader = std::function<std::optional<std::vector<uint8_t>>(int64_t offset, int64_t count)>;

// What the layout answer may look at: the image's length, its header bytes
// and any range of its bytes.
struct ImageSource {
    int64_t size = 0;
    std::span<const uint8_t> header;  // the first kHeaderEnd bytes (fewer: not complete)
    Reader read;
};

// Byte 0 of base record k holds the species number k + 1. The first record
// that does not (a record past the end of the range does not), or nullopt.
std::optional<int64_t> FirstMisnumberedRecord(std::span<const uint8_t> records) {
    const int64_t recordSize = EntrySize(SpeciesTable::BaseRecord);
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        const int64_t at = k * recordSize;
        if (at >= static_cast<int64_t>(records.size()) || records[static_cast<size_t>(at)] != k + 1) return k;
    }
    return std::nullopt;
}

// Byte 1 of every cry entry is 0 in the released images; no field lies there.
// The first entry where it is not, or nullopt.
std::optional<int64_t> FirstCryWithSecondByte(std::span<const uint8_t> cries) {
    const int64_t entrySize = EntrySize(SpeciesTable::CryEntry);
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        const int64_t at = k * entrySize + 1;
        if (at < static_cast<int64_t>(cries.size()) && cries[static_cast<size_t>(at)] != 0) return k;
    }
    return std::nullopt;
}

// Whether the image confirms a set of table offsets, and if not, which entry
// of the ".tables" file (or which table of a release) failed and how.
struct Confirmation {
    bool readFailed = false;  // reported already
    bool confirmed = false;
    TablesEntry entry = TablesEntry::Base;
    std::string fault;  // a clause in lower case, without a final full stop
};

std::string_view TableWords(TablesEntry entry) {
    switch (entry) {
        case TablesEntry::Base:
            return "base records";
        case TablesEntry::Icons:
            return "menu icons";
        case TablesEntry::Cries:
            return "cry entries";
        case TablesEntry::Pointers:
            return "move/evolution pointers";
        case TablesEntry::Eggs:
            return "egg move pointers";
    }
    return "tables";
}

// Every table inside the image, the base records numbered 1 to 251, byte 1
// of every cry entry 0: the checks that tell tables from other bytes.
Confirmation Confirm(const ImageSource& image, const VersionProfile& profile, std::optional<int32_t> eggs) {
    Confirmation result;
    struct Extent {
        TablesEntry entry;
        int64_t offset;
        int64_t length;
    };
    std::vector<Extent> extents = {
        {TablesEntry::Base, profile.BaseStatsOffset, TableLength(SpeciesTable::BaseRecord)},
        {TablesEntry::Icons, profile.MenuIconOffset, TableLength(SpeciesTable::MenuIcon)},
        {TablesEntry::Cries, profile.CryTableOffset, TableLength(SpeciesTable::CryEntry)},
        {TablesEntry::Pointers, profile.EvoMovePointerOffset, TableLength(SpeciesTable::EvoMovePointer)},
    };
    if (eggs) extents.push_back({TablesEntry::Eggs, *eggs, kEggPointersLength});
    for (const Extent& extent : extents) {
        if (extent.offset < 0 || extent.offset + extent.length > image.size) {
            result.entry = extent.entry;
            result.fault = "the " + std::string(TableWords(extent.entry)) + " at " + Hex(extent.offset) +
                           " would end at " + Hex(extent.offset + extent.length) + ", past the end of the image (" +
                           Hex(image.size) + " bytes)";
            return result;
        }
    }

    const std::optional<std::vector<uint8_t>> records =
        image.read(profile.BaseStatsOffset, TableLength(SpeciesTable::BaseRecord));
    if (!records) {
        result.readFailed = true;
        return result;
    }
    if (const std::optional<int64_t> k = FirstMisnumberedRecord(*records)) {
        const int64_t at = *k * EntrySize(SpeciesTable::BaseRecord);
        result.entry = TablesEntry::Base;
        result.fault = "the base records at " + Hex(profile.BaseStatsOffset) +
                       " are not numbered 1 to 251 (the record at " + Hex(profile.BaseStatsOffset + at) +
                       " begins with " + ByteHex((*records)[static_cast<size_t>(at)]) + ", not " + ByteHex(*k + 1) + ")";
        return result;
    }

    const std::optional<std::vector<uint8_t>> cries =
        image.read(profile.CryTableOffset, TableLength(SpeciesTable::CryEntry));
    if (!cries) {
        result.readFailed = true;
        return result;
    }
    if (const std::optional<int64_t> k = FirstCryWithSecondByte(*cries)) {
        const int64_t at = *k * EntrySize(SpeciesTable::CryEntry) + 1;
        result.entry = TablesEntry::Cries;
        result.fault = "the cry entries at " + Hex(profile.CryTableOffset) + " are not cry entries (byte 1 of the " +
                       "entry at " + Hex(profile.CryTableOffset + at - 1) + " is " +
                       ByteHex((*cries)[static_cast<size_t>(at)]) + ", not 0 as in every release)";
        return result;
    }
    result.confirmed = true;
    return result;
}

// Whether the base records at `base` are numbered 1 to 251; nullopt after a
// reported failure.
std::optional<bool> NumberedAt(const ImageSource& image, int32_t base) {
    const std::optional<std::vector<uint8_t>> records = image.read(base, TableLength(SpeciesTable::BaseRecord));
    if (!records) return std::nullopt;
    return !FirstMisnumberedRecord(*records).has_value();
}

ResolvedLayout Unknown(std::string refusal) {
    ResolvedLayout layout;
    layout.refusal = std::move(refusal);
    return layout;
}

ResolvedLayout OfRelease(const ReleaseLayout& release) {
    ResolvedLayout layout;
    layout.kind = ImageLayout::Released;
    layout.profile = release.tables;
    layout.eggMovePointerOffset = release.eggMovePointerOffset;
    layout.release = &release;
    return layout;
}

// What a refusal of a complete image suggests.
std::string TablesFileAdvice(const std::string& imagePath) {
    const std::string name = imagePath.empty()
                                 ? std::string("named like the image plus \".tables\"")
                                 : "\"" + std::filesystem::path(TablesFilePathOf(imagePath)).filename().string() + "\"";
    return " If it is a modified game whose tables moved, a file " + name + " beside it can say where they are.";
}

// The ".tables" file decides alone: its offsets when the image confirms
// them, else a refusal that names the file, the line and what failed.
std::optional<ResolvedLayout> FromTablesFile(const ImageSource& image, const std::string& tablesPath) {
    const std::string quoted = "\"" + tablesPath + "\"";
    const auto where = [&](int line) {
        return line > 0 ? "Line " + std::to_string(line) + " of " + quoted + ": " : quoted + ": ";
    };
    ResolvedLayout layout;
    layout.tablesFile = tablesPath;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(tablesPath, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        layout.refusal = where(0) + "not a file of table offsets (it is not a regular file).";
        return layout;
    }
    const FileRead read = ReadWholeFile(tablesPath, kLargestTablesFile);
    if (read.status != FileStatus::Done) {
        layout.refusal = where(0) + "could not be read: " + read.reason + ".";
        return layout;
    }
    const std::string_view text(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size());
    const TablesFileParse parse = ParseTablesFile(text);
    if (!parse.file) {
        layout.refusal = where(parse.line) + parse.fault + ".";
        return layout;
    }
    const Confirmation confirmation = Confirm(image, parse.file->profile, parse.file->eggMovePointerOffset);
    if (confirmation.readFailed) return std::nullopt;
    if (!confirmation.confirmed) {
        layout.refusal = where(parse.file->LineOf(confirmation.entry)) + confirmation.fault + ".";
        return layout;
    }
    layout.kind = ImageLayout::TablesFile;
    layout.profile = parse.file->profile;
    layout.eggMovePointerOffset = parse.file->eggMovePointerOffset;
    return layout;
}

// A complete image: the release its game code and revision name, confirmed
// at that release's offsets; anything else is refused, naming what is not
// known.
std::optional<ResolvedLayout> FromReleaseRow(const ImageSource& image, GameVersion version,
                                             const std::string& imagePath) {
    const std::string code = GameCodeOf(image.header);
    const uint8_t revision = ByteAt(image.header, kRomVersionOffset);
    const std::string caption(VersionCaption(version));
    const ReleaseLayout* release = FindReleaseLayout(code, revision);
    if (release == nullptr) {
        if (IsKnownGameCode(code)) {
            GameVersion codeVersion = version;
            for (const ReleaseLayout& row : kReleaseLayouts) {
                if (row.gameCode == code) codeVersion = row.version;
            }
            return Unknown("This is a complete image of a revision of " + std::string(VersionCaption(codeVersion)) +
                           " that this editor does not know (game code \"" + code + "\", revision " +
                           std::to_string(revision) + ")." + TablesFileAdvice(imagePath));
        }
        return Unknown("This is a complete image of " + caption + ", but its game code \"" + code +
                       "\" is not that of a release this editor knows." + TablesFileAdvice(imagePath));
    }
    if (release->version != version) {
        return Unknown("This is a complete image whose game code \"" + code + "\" is that of " +
                       ReleaseCaption(*release) + ", but whose header byte at 0x13C names " + caption + ".");
    }
    const Confirmation confirmation = Confirm(image, release->tables, std::nullopt);
    if (confirmation.readFailed) return std::nullopt;
    if (!confirmation.confirmed) {
        return Unknown("This is a complete image of " + ReleaseCaption(*release) +
                       ", but its species tables are not where that release keeps them: " + confirmation.fault +
                       "." + TablesFileAdvice(imagePath));
    }
    return OfRelease(*release);
}

// An image that is not complete, as images built by hand always were: the
// released offsets where its base records are numbered there (those of the
// release its header names, else those of the first American release of the
// version), else DefaultProfile.
std::optional<ResolvedLayout> FromHandBuiltRules(const ImageSource& image, GameVersion version) {
    const ReleaseLayout* named = FindReleaseLayout(GameCodeOf(image.header), ByteAt(image.header, kRomVersionOffset));
    for (const ReleaseLayout* release : {named, &FirstAmericanRelease(version)}) {
        if (release == nullptr || release->version != version) continue;
        const std::optional<bool> numbered = NumberedAt(image, release->tables.BaseStatsOffset);
        if (!numbered) return std::nullopt;
        if (*numbered) return OfRelease(*release);
    }
    ResolvedLayout layout;
    layout.kind = ImageLayout::HandBuilt;
    layout.profile = DefaultProfile(version);
    return layout;
}

std::optional<ResolvedLayout> Resolve(const ImageSource& image, GameVersion version, const std::string& imagePath) {
    if (!imagePath.empty()) {
        const std::string tablesPath = TablesFilePathOf(imagePath);
        if (PathExists(tablesPath)) return FromTablesFile(image, tablesPath);
    }
    if (IsCompleteImage(image.header, image.size)) return FromReleaseRow(image, version, imagePath);
    return FromHandBuiltRules(image, version);
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
    // Eight bytes at a time, each word's bytes added pairwise in its lanes:
    // the same sum in a quarter of the instructions of a byte loop (every
    // `info`, `checksum` and import sums a whole image).
    constexpr uint64_t kBytes = 0x00FF00FF00FF00FFull;
    constexpr uint64_t kPairs = 0x0000FFFF0000FFFFull;
    uint64_t wide = 0;
    size_t at = 0;
    for (; at + 8 <= image.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, image.data() + at, 8);
        word = (word & kBytes) + ((word >> 8) & kBytes);
        word = (word & kPairs) + ((word >> 16) & kPairs);
        wide += (word & 0xFFFFFFFFull) + (word >> 32);
    }
    auto sum = static_cast<uint32_t>(wide);
    for (; at < image.size(); ++at) sum += image[at];
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
    header.gameCode = GameCodeOf(image);
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
        case ImageLayout::TablesFile:
            return "tables file";
        case ImageLayout::HandBuilt:
            return "hand-built";
        case ImageLayout::Unknown:
            return "unknown";
    }
    return "unknown";
}

ResolvedLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath) {
    ImageSource source;
    source.size = static_cast<int64_t>(image.size());
    source.header = image.first(std::min(image.size(), static_cast<size_t>(kHeaderEnd)));
    source.read = [image](int64_t offset, int64_t count) {
        const std::span<const uint8_t> range = Range(image, offset, count);
        return std::optional<std::vector<uint8_t>>(std::in_place, range.begin(), range.end());
    };
    // Bytes in memory cannot fail to be read.
    return Resolve(source, version, imagePath).value_or(ResolvedLayout{});
}

std::optional<ResolvedLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version) {
    const std::optional<std::vector<uint8_t>> header = ReadBytes(path, 0, kHeaderEnd);
    if (!header) return std::nullopt;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        ReportFailure({error.value(), "Could not measure the length of \"" + path + "\": " + error.message() + "."});
        return std::nullopt;
    }
    ImageSource source;
    source.size = static_cast<int64_t>(size);
    source.header = *header;
    // Bytes past the end read as 0, and 0 is no species number: a short file
    // never shows numbered records.
    source.read = [&path](int64_t offset, int64_t count) { return ReadBytes(path, offset, count); };
    return Resolve(source, version, path);
}

std::vector<int64_t> NumberedBaseRecordPlaces(std::span<const uint8_t> image, size_t limit) {
    std::vector<int64_t> places;
    const int64_t recordSize = EntrySize(SpeciesTable::BaseRecord);
    const int64_t last = static_cast<int64_t>(image.size()) - (kSpeciesCount - 1) * recordSize - 1;
    for (int64_t offset = 0; offset <= last && places.size() < limit; ++offset) {
        if (image[static_cast<size_t>(offset)] != 1) continue;
        if (!FirstMisnumberedRecord(image.subspan(static_cast<size_t>(offset))).has_value()) places.push_back(offset);
    }
    return places;
}

}  // namespace rom
