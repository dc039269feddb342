#pragma once
// Hex digit helpers shared by the file access and the field conversions.

#include <cstdint>
#include <string>

namespace rom::hexdigits {

inline constexpr char kDigits[] = "0123456789ABCDEF";

// The value of one hex digit in either case, or -1.
inline int Value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Uppercase hex digits of a non-negative value, padded with "0" on the left
// to at least `width` digits.
inline std::string Of(uint64_t value, size_t width = 1) {
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

}  // namespace rom::hexdigits
