#include "tables/ImageInfo.h"

#include <vector>

#include "rom/FieldConversions.h"
#include "rom/VersionDetection.h"

namespace tables {

std::optional<rom::GameVersion> VersionOfImage(std::span<const uint8_t> image) {
    // A byte the file does not hold reads as 0, as the byte layer reads it.
    const uint8_t byte = rom::kVersionByteOffset < static_cast<int64_t>(image.size()) ? image[rom::kVersionByteOffset] : 0;
    return rom::RecognizeVersion(rom::TwoDigitHex(byte));
}

std::string NotAKreblinImage(std::span<const uint8_t> image, const std::string& path) {
    if (VersionOfImage(image)) return {};
    const uint8_t byte = rom::kVersionByteOffset < static_cast<int64_t>(image.size()) ? image[rom::kVersionByteOffset] : 0;
    const bool checksumRight = static_cast<int64_t>(image.size()) >= rom::kHeaderEnd &&
                               rom::HeaderChecksum(image) == image[rom::kHeaderChecksumOffset];
    return "\"" + path + "\" is not an image of a Kreblin version: its header names none of the three (the byte at "
           "0x13C is 0x" + rom::TwoDigitHex(byte) + ", where Gold has 0x47, Silver 0x53 and Crystal 0x41), and its "
           "header checksum is " + (checksumRight ? "right, so it may be the image of another game." : "wrong.");
}

ImageInfo DescribeImage(std::span<const uint8_t> image, const std::string& path) {
    ImageInfo info;
    info.size = static_cast<int64_t>(image.size());
    info.header = rom::ReadCartridgeHeader(image);
    info.headerChecksumComputed = rom::HeaderChecksum(image);
    info.globalChecksumComputed = rom::GlobalChecksum(image);
    info.headerChecksumRight = info.size >= rom::kHeaderEnd && info.headerChecksumComputed == info.header.headerChecksum;
    info.globalChecksumRight = info.size >= rom::kHeaderEnd && info.globalChecksumComputed == info.header.globalChecksum;
    info.complete = rom::IsCompleteImage(image, info.size);
    info.version = VersionOfImage(image);
    if (info.version) info.layout = rom::ResolveLayout(image, *info.version, path);
    info.market = rom::MarketOfCode(info.header.gameCode);
    info.sha1 = Sha1Hex(image);
    info.release = rom::FindReleaseBySha1(info.sha1);
    info.namedRelease = rom::FindReleaseLayout(info.header.gameCode, info.header.romVersion);
    if (info.complete && info.version && info.layout.kind == rom::ImageLayout::Unknown) {
        const std::vector<int64_t> places = rom::NumberedBaseRecordPlaces(image, 2);
        if (places.size() == 1) info.numberedBaseRecords = places.front();
    }
    return info;
}

}  // namespace tables
