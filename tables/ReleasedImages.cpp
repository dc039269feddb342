#include "tables/ReleasedImages.h"

#include <nettle/sha1.h>

#include <array>
#include <cctype>

#include "rom/HexDigits.h"

namespace tables {

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

}  // namespace tables
