#include "patches/PatchFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "patches/BpsPatch.h"
#include "patches/IpsPatch.h"
#include "rom/HexDigits.h"

namespace patches {

namespace {

bool StartsWith(ByteSpan bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

std::string_view FormatName(PatchFormat format) {
    return format == PatchFormat::Ips ? "IPS" : "BPS";
}

std::optional<PatchFormat> DetectFormat(ByteSpan patch) {
    if (StartsWith(patch, "PATCH")) return PatchFormat::Ips;
    if (StartsWith(patch, "BPS1")) return PatchFormat::Bps;
    return std::nullopt;
}

std::optional<PatchFormat> FormatOfFileName(std::string_view fileName) {
    if (fileName.size() < 4) return std::nullopt;
    std::string extension(fileName.substr(fileName.size() - 4));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".ips") return PatchFormat::Ips;
    if (extension == ".bps") return PatchFormat::Bps;
    return std::nullopt;
}

BytesResult CreatePatch(PatchFormat format, ByteSpan original, ByteSpan modified) {
    return format == PatchFormat::Ips ? CreateIps(original, modified) : CreateBps(original, modified);
}

BytesResult ApplyPatch(ByteSpan patch, ByteSpan source) {
    const std::optional<PatchFormat> format = DetectFormat(patch);
    if (!format) {
        return BytesResult::Failure(
            "the patch is neither an IPS patch nor a BPS patch (it starts with neither \"PATCH\" nor \"BPS1\")");
    }
    return *format == PatchFormat::Ips ? ApplyIps(patch, source) : ApplyBps(patch, source);
}

uint32_t Crc32(ByteSpan bytes) {
    // zlib takes at most a uInt at a time.
    uLong crc = crc32(0L, Z_NULL, 0);
    const uint8_t* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const size_t piece = std::min<size_t>(left, std::numeric_limits<uInt>::max());
        crc = crc32(crc, data, static_cast<uInt>(piece));
        data += piece;
        left -= piece;
    }
    return static_cast<uint32_t>(crc);
}

std::string HexText(uint64_t value, int digits) {
    return "0x" + rom::hexdigits::Of(value, static_cast<size_t>(digits > 0 ? digits : 1));
}

}  // namespace patches
