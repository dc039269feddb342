#include "rom/FieldConversions.h"

#include <utility>

#include "rom/HexDigits.h"
#include "rom/HexFunctions.h"

namespace rom {

namespace {

using hexdigits::Value;

char Upper(char c) {
    return (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view TrimSpaces(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool AllHexDigits(std::string_view text) {
    for (char c : text) {
        if (Value(c) < 0) return false;
    }
    return true;
}

std::string HexDigits(int64_t value, size_t width) { return hexdigits::Of(static_cast<uint64_t>(value), width); }

std::string Holds(std::string_view text) {
    if (text.empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

Encoded Refuse(const SpeciesField& field, const std::string& accepts, const std::string& holds) {
    return Encoded{std::string(), std::string(field.caption) + " must be " + accepts + "; " + holds};
}

Encoded Accept(std::string hex) {
    return Encoded{std::move(hex), std::string()};
}

}  // namespace

// ---- Load side ---------------------------------------------------------------

std::optional<int32_t> HexToNumber(std::string_view hex) {
    if (hex.empty() || hex.size() > 4) return std::nullopt;
    int32_t value = 0;
    for (char c : hex) {
        const int digit = Value(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::optional<std::string> DecimalTextFromHex(std::string_view hex) {
    const std::optional<int32_t> value = HexToNumber(hex);
    if (!value) return std::nullopt;
    return std::to_string(*value);
}

std::optional<int32_t> LengthFromHex(std::string_view hex) {
    // The stored bytes are low byte first; reversed they give the number's
    // digits in their usual order.
    if (!AllHexDigits(hex)) return std::nullopt;
    return HexToNumber(HexFunctions::ReverseHexBytes(hex));
}

std::string CaptionHex(int32_t value) {
    if (value < 0) return "-" + HexDigits(-static_cast<int64_t>(value), 1);
    return HexDigits(value, 1);
}

std::string TwoDigitHex(int32_t value) {
    // Values above 0xFF keep all their digits rather than losing the high ones.
    if (value < 0) return "-" + HexDigits(-static_cast<int64_t>(value), 2);
    return HexDigits(value, 2);
}

// ---- Save side ---------------------------------------------------------------

Encoded EncodeDecimal(const SpeciesField& field, std::string_view text) {
    static const std::string kAccepts = "a whole number from 0 to 255";
    // Only decimal digits, optionally with spaces around them: no sign, no
    // point, no spaces inside. Leading zeros are fine ("007" is 7).
    const std::string_view digits = TrimSpaces(text);
    if (digits.empty()) return Refuse(field, kAccepts, Holds(text));
    int32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return Refuse(field, kAccepts, Holds(text));
        value = value * 10 + (c - '0');
        if (value > 255) return Refuse(field, kAccepts, Holds(text));
    }
    return Accept(TwoDigitHex(value));
}

Encoded EncodeHexText(const SpeciesField& field, std::string_view text) {
    const size_t maxDigits = static_cast<size_t>(field.width) * 2;
    const std::string accepts = "1 to " + std::to_string(maxDigits) + " hex digits (0-9, A-F)";
    const std::string_view digits = TrimSpaces(text);
    if (digits.empty() || digits.size() > maxDigits || !AllHexDigits(digits)) {
        return Refuse(field, accepts, Holds(text));
    }
    std::string hex(maxDigits - digits.size(), '0');
    for (char c : digits) hex.push_back(Upper(c));
    return Accept(std::move(hex));
}

Encoded EncodeListChoice(const SpeciesField& field, int32_t position, std::string_view text,
                         std::span<const std::string_view> entries) {
    static const std::string kAccepts = "an entry of its list or a code of 1 to 2 hex digits";
    if (position >= 0 && position <= 255) return Accept(TwoDigitHex(position));
    if (position != -1) {
        return Refuse(field, kAccepts, "it holds position " + std::to_string(position) + ".");
    }
    for (size_t i = 0; i < entries.size() && i <= 255; ++i) {
        if (entries[i] == text) return Accept(TwoDigitHex(static_cast<int32_t>(i)));
    }
    const std::string_view digits = TrimSpaces(text);
    if (!digits.empty() && digits.size() <= 2 && AllHexDigits(digits)) {
        std::string hex(2 - digits.size(), '0');
        for (char c : digits) hex.push_back(Upper(c));
        return Accept(std::move(hex));
    }
    return Refuse(field, kAccepts, Holds(text));
}

Encoded EncodeSlider(const SpeciesField& field, int32_t value) {
    if (value < 0 || value > 255) {
        return Refuse(field, "a value from 0 to 255", "it holds " + std::to_string(value) + ".");
    }
    return Accept(TwoDigitHex(value));
}

Encoded EncodeLength(const SpeciesField& field, int32_t value) {
    if (value < 0 || value > 0xFFFF) {
        return Refuse(field, "a value from 0 to 65535", "it holds " + std::to_string(value) + ".");
    }
    return Accept(HexFunctions::ReverseHexBytes(HexDigits(value, 4)));
}

Encoded EncodeGender(const SpeciesField& field, bool noGender, int32_t sliderValue) {
    if (noGender) return Accept("FF");
    if (sliderValue < 0 || sliderValue > 254) {
        return Refuse(field, "a value from 0 to 254 while the species has a gender",
                      "it holds " + std::to_string(sliderValue) + ".");
    }
    return Accept(TwoDigitHex(sliderValue));
}

}  // namespace rom
