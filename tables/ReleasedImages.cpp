#include "tables/ReleasedImages.h"

#include <nettle/sha1.h>

#include <cctype>

#include "rom/HexDigits.h"
#include "rom/VersionDetection.h"

namespace tables {

const std::array<ReleasedImage, 5> kReleasedImages = {{
    {rom::GameVersion::Gold, "1.0", "d8b8a3600a465308c9953dfa04f0081c05bdcb94"},
    {rom::GameVersion::Silver, "1.0", "49b163f7e57702bc939d642a18f591de55d92dae"},
    {rom::GameVersion::Crystal, "1.0", "f4cd194bdee0d04ca4eac29e09b8e4e9d818c133"},
    {rom::GameVersion::Crystal, "1.1", "f2f52230b536214ef7c9924f483392993e226cfb"},
    {rom::GameVersion::Crystal, "1.1 (another region)", "a0fc810f1d4e124434f7be2c989ab5b5892ddf36"},
}};

std::string Sha1Hex(std::span<const uint8_t> bytes) {
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, bytes.size(), bytes.data());
    std::array<uint8_t, SHA1_DIGEST_SIZE> digest{};
    sha1_digest(&context, digest.size(), digest.data());
    std::string text;
    for (uint8_t byte : digest) {
        text += static_cast<char>(std::tolower(rom::hexdigits::kDigits[byte >> 4]));
        text += static_cast<char>(std::tolower(rom::hexdigits::kDigits[byte & 0x0F]));
    }
    return text;
}

const ReleasedImage* FindRelease(std::string_view sha1) {
    for (const ReleasedImage& release : kReleasedImages) {
        if (release.sha1 == sha1) return &release;
    }
    return nullptr;
}

std::string ReleaseCaption(const ReleasedImage& release) {
    return std::string(rom::VersionCaption(release.version)) + " " + std::string(release.revision);
}

}  // namespace tables
