#include "formats/Text.h"

#include <iconv.h>

#include <cstdio>
#include <vector>

namespace formats {

namespace {

std::string HexByte(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// The length of the UTF-8 sequence at `at`, or 0 when it is not one.
size_t SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (length == 0 || at + length > text.size()) return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    }
    return length;
}

// The refusal of the first byte that is not UTF-8 text (or a zero byte).
std::optional<Refusal> FirstNonText(std::string_view text) {
    int line = 1;
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == 0) {
            return Refusal{line, 0, "", "the file holds a zero byte on this line: it is not a text file."};
        }
        const size_t length = SequenceLength(text, at);
        if (length == 0) {
            return Refusal{line, 0, "",
                           "the file is not UTF-8 text: the byte " + HexByte(byte) +
                               " on this line is not UTF-8 (it was likely saved as Windows-1252 or Latin-1). Save "
                               "it again as UTF-8 (a spreadsheet calls it \"CSV UTF-8\" or the character set "
                               "\"Unicode (UTF-8)\")."};
        }
        if (byte == '\n') ++line;
        at += length;
    }
    return std::nullopt;
}

// The UTF-16 byte order of a file, when it is UTF-16.
std::optional<const char*> Utf16Order(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 != 0 && b1 == 0)) return "UTF-16LE";
    if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0 && b1 != 0)) return "UTF-16BE";
    return std::nullopt;
}

std::optional<std::string> Converted(std::string_view bytes, const char* from) {
    const bool marked = (bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF');
    if (marked) bytes.remove_prefix(2);
    const iconv_t converter = iconv_open("UTF-8", from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 2 + 4, '\0');  // UTF-8 takes at most 3 bytes per 2 of UTF-16
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* at = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(converter, &in, &inLeft, &at, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

DecodedText DecodeText(std::string_view bytes) {
    DecodedText decoded;
    if (const std::optional<const char*> order = Utf16Order(bytes)) {
        std::optional<std::string> text = Converted(bytes, *order);
        if (!text) {
            decoded.refusal = Refusal{1, 0, "",
                                      "the file looks like " + std::string(*order) +
                                          " text (it has the zero bytes or byte-order mark of UTF-16) but is not "
                                          "valid UTF-16. Save it again as UTF-8."};
            return decoded;
        }
        decoded.text = std::move(*text);
    } else {
        decoded.text.assign(bytes);
    }
    decoded.refusal = FirstNonText(decoded.text);
    return decoded;
}

}  // namespace formats
