#pragma once
// IPS and BPS patches over bytes in memory: the shared types and limits, the
// format told by a patch's first bytes, and creating or applying a patch of
// either format. Nothing here touches a file or throws: every refusal comes
// back as a one-line message that says what is wrong.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace patches {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

// IPS offsets have 24 bits: an image may hold at most 16 MiB.
inline constexpr uint64_t kMaxIpsImageSize = uint64_t{1} << 24;
// The furthest an IPS record can reach: the highest 24-bit offset plus the
// largest 16-bit size. The result of applying an IPS patch never grows past it.
inline constexpr uint64_t kMaxIpsResultSize = 0xFFFFFF + 0xFFFF;
// The largest BPS source or target this program creates or accepts.
inline constexpr uint64_t kMaxBpsTargetSize = uint64_t{64} << 20;

// Bytes, or the message that says why there are none. A message starts in
// lower case and has no final full stop, so that a caller can put it after
// its own context ("Could not apply ...: <message>.").
struct BytesResult {
    Bytes bytes;
    std::string error;

    bool ok() const { return error.empty(); }
    static BytesResult Failure(std::string message) {
        BytesResult result;
        result.error = std::move(message);
        return result;
    }
};

enum class PatchFormat { Ips, Bps };

// "IPS" or "BPS".
std::string_view FormatName(PatchFormat format);

// The format told by the first bytes: "PATCH" for IPS, "BPS1" for BPS;
// nullopt for anything else.
std::optional<PatchFormat> DetectFormat(ByteSpan patch);

// The format named by a file name's extension, ".ips" or ".bps" in any case;
// nullopt for any other name.
std::optional<PatchFormat> FormatOfFileName(std::string_view fileName);

// A patch of the format that turns `original` into `modified`.
BytesResult CreatePatch(PatchFormat format, ByteSpan original, ByteSpan modified);

// Applies a patch of either format, told by its first bytes, to `source`.
BytesResult ApplyPatch(ByteSpan patch, ByteSpan source);

// zlib's CRC-32 of the bytes.
uint32_t Crc32(ByteSpan bytes);

// "0x" and at least two uppercase hex digits: "0x454F46".
std::string HexText(uint64_t value, int digits = 2);

}  // namespace patches
