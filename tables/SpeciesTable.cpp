#include "tables/SpeciesTable.h"

#include "rom/FieldConversions.h"
#include "rom/ImageLength.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tables/ImageFiles.h"

namespace tables {

std::optional<rom::GameVersion> VersionOfImage(std::span<const uint8_t> image, const std::string& path) {
    // A byte the file does not hold reads as 0, as the byte layer reads it.
    return rom::ImageVersion(image, static_cast<int64_t>(image.size()), path);
}

std::string NotAKreblinImage(std::span<const uint8_t> image, const std::string& path) {
    if (VersionOfImage(image, path)) return {};
    const uint8_t byte = rom::kVersionByteOffset < static_cast<int64_t>(image.size()) ? image[rom::kVersionByteOffset] : 0;
    const bool checksumRight = static_cast<int64_t>(image.size()) >= rom::kHeaderEnd &&
                               rom::HeaderChecksum(image) == image[rom::kHeaderChecksumOffset];
    return "\"" + path + "\" is not an image of a Kreblin version: its header names none of the three (the byte at "
           "0x13C is 0x" + rom::TwoDigitHex(byte) + ", where Gold has 0x47, Silver 0x53 and Crystal 0x41), and its "
           "header checksum is " +
           (checksumRight ? "right, so it may be the image of another game. If it is a modified game whose title "
                            "no longer names its version, a line \"version = crystal\" (or gold, silver) in \"" +
                                rom::TablesFilePathOf(path) + "\" beside it says which."
                          : "wrong.");
}

size_t FieldIndex(const rom::SpeciesField& field) {
    return static_cast<size_t>(&field - rom::kSpeciesFields.data());
}

SpeciesTable ReadSpeciesTable(std::span<const uint8_t> image, const rom::VersionProfile& profile) {
    SpeciesTable table{};
    const auto byteAt = [&](int64_t offset) -> uint8_t {
        return offset >= 0 && offset < static_cast<int64_t>(image.size()) ? image[static_cast<size_t>(offset)] : 0;
    };
    for (int32_t species = 0; species < rom::kSpeciesCount; ++species) {
        for (size_t f = 0; f < kFieldCount; ++f) {
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            const std::optional<int32_t> offset = rom::FieldOffset(profile, species, field);
            if (!offset) continue;  // the profiles in use never leave the offset range
            FieldBytes& bytes = table[static_cast<size_t>(species)].fields[f];
            for (int32_t k = 0; k < field.width; ++k) bytes[static_cast<size_t>(k)] = byteAt(int64_t{*offset} + k);
        }
    }
    return table;
}

ImageNames ReadNamesOf(const TableImage& image) {
    return ReadImageNames(image.bytes, image.resolved);
}

std::optional<TableImage> OpenTableImage(const std::string& path, std::string& refusal) {
    std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path, kLargestImage, "image");
    if (!bytes) return std::nullopt;
    if (!rom::HoldsHeader(static_cast<int64_t>(bytes->size()))) {
        refusal = rom::TooShortMessage(path, static_cast<int64_t>(bytes->size())) + " Nothing was read or written.";
        return std::nullopt;
    }
    const std::optional<rom::GameVersion> version = VersionOfImage(*bytes, path);
    if (!version) {
        refusal = NotAKreblinImage(*bytes, path) + " Nothing was read or written.";
        return std::nullopt;
    }
    rom::ResolvedLayout layout = rom::ResolveLayout(*bytes, *version, path);
    if (!layout.profile) {
        refusal = "\"" + path + "\": " + layout.refusal + " Nothing was read or written.";
        return std::nullopt;
    }
    TableImage image;
    image.path = path;
    image.bytes = std::move(*bytes);
    image.version = *version;
    image.layout = layout.kind;
    image.profile = *layout.profile;
    image.resolved = std::move(layout);
    image.table = ReadSpeciesTable(image.bytes, image.profile);
    image.names = ReadNamesOf(image);
    return image;
}

}  // namespace tables
