#include "tables/ImageInfo.h"

#include "rom/FieldConversions.h"
#include "rom/VersionDetection.h"

namespace tables {

std::optional<rom::GameVersion> VersionOfImage(std::span<const uint8_t> image) {
    // A byte the file does not hold reads as 0, as the byte layer reads it.
    const uint8_t byte = rom::kVersionByteOffset < static_cast<int64_t>(image.size()) ? image[rom::kVersionByteOffset] : 0;
    return rom::RecognizeVersion(rom::TwoDigitHex(byte));
}

ImageInfo DescribeImage(std::span<const uint8_t> image) {
    ImageInfo info;
    info.size = static_cast<int64_t>(image.size());
    info.header = rom::ReadCartridgeHeader(image);
    info.headerChecksumComputed = rom::HeaderChecksum(image);
    info.globalChecksumComputed = rom::GlobalChecksum(image);
    info.headerChecksumRight = info.size >= rom::kHeaderEnd && info.headerChecksumComputed == info.header.headerChecksum;
    info.globalChecksumRight = info.size >= rom::kHeaderEnd && info.globalChecksumComputed == info.header.globalChecksum;
    info.version = VersionOfImage(image);
    if (info.version) info.layout = rom::ResolveLayout(image, *info.version);
    info.sha1 = Sha1Hex(image);
    info.release = FindRelease(info.sha1);
    return info;
}

}  // namespace tables
