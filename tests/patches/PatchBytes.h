#pragma once
// Small helpers for writing patch bytes in tests: hex text, plain text, and
// the three CRC-32 values that close a BPS patch.

#include <cstdint>
#include <string_view>
#include <vector>

#include "patches/PatchFormat.h"

namespace patchtest {

using patches::Bytes;

// "50 41 54" gives {0x50, 0x41, 0x54}; spaces are ignored.
inline Bytes Hex(std::string_view text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        if (high < 0) {
            high = value(c);
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + value(c)));
            high = -1;
        }
    }
    return bytes;
}

inline Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline void AppendLittleEndian32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Closes a BPS patch body: the CRC-32 of the source and of the target, then
// the CRC-32 of everything before it.
inline Bytes SealBps(Bytes body, const Bytes& source, const Bytes& target) {
    AppendLittleEndian32(body, patches::Crc32(source));
    AppendLittleEndian32(body, patches::Crc32(target));
    AppendLittleEndian32(body, patches::Crc32(body));
    return body;
}

// Rewrites the last four bytes of a BPS patch to its correct own CRC-32.
inline void ResealBps(Bytes& patch) {
    patch.resize(patch.size() - 4);
    AppendLittleEndian32(patch, patches::Crc32(patch));
}

}  // namespace patchtest
