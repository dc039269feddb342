#include "tables/FieldText.h"

#include <limits>

#include "rom/HexDigits.h"
#include "lists/ChoiceLists.h"

namespace tables {

std::string_view Trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

namespace {

// A whole number written with decimal digits only, spaces around it allowed.
// Numbers too large for any field keep one value beyond every range.
std::optional<int64_t> WholeNumber(std::string_view text) {
    const std::string_view digits = Trimmed(text);
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min<int64_t>(value * 10 + (c - '0'), std::numeric_limits<int32_t>::max());
    }
    return value;
}

std::string Holds(std::string_view text) {
    if (text.empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

rom::Encoded Refuse(const rom::SpeciesField& field, const std::string& accepts, std::string_view text) {
    return {std::string(), std::string(field.caption) + " must be " + accepts + "; " + Holds(text)};
}

rom::Encoded EncodeListText(const rom::SpeciesField& field, std::string_view text) {
    const std::span<const std::string_view> entries = ListOf(field);
    if (const std::optional<int32_t> position = UniqueEntryPosition(entries, text)) {
        return rom::EncodeListChoice(field, *position, text, entries);
    }
    // Not one entry's text: a code of 1 to 2 hex digits, by the window's rule.
    // The list is left out so that no entry is taken by its exact text alone.
    rom::Encoded encoded = rom::EncodeListChoice(field, -1, text, {});
    if (!encoded.ok()) {
        const std::string_view wanted = Trimmed(text);
        int shared = 0;
        for (std::string_view entry : entries) shared += Trimmed(entry) == wanted ? 1 : 0;
        if (shared > 1) {
            encoded.refusal = std::string(field.caption) +
                              " must be the text of an entry that no other position shares, or a code of 1 to 2 "
                              "hex digits; \"" + std::string(wanted) + "\" is the text of " +
                              std::to_string(shared) + " positions.";
        }
    }
    return encoded;
}

}  // namespace

std::span<const std::string_view> ListOf(const rom::SpeciesField& field) {
    if (field.presentation != rom::Presentation::ListPosition) return {};
    if (field.control == "Type1" || field.control == "Type2") return lists::kTypeList;
    if (field.control == "Item1" || field.control == "Item2") return lists::kHeldItemList;
    if (field.control == "Sprite") return lists::kMenuSpriteList;
    if (field.control == "Cry") return lists::kBaseCryList;
    return {};
}

std::optional<int32_t> UniqueEntryPosition(std::span<const std::string_view> entries, std::string_view text) {
    const std::string_view wanted = Trimmed(text);
    std::optional<int32_t> found;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Trimmed(entries[i]) != wanted) continue;
        if (found) return std::nullopt;
        found = static_cast<int32_t>(i);
    }
    return found;
}

bool IsNumberField(const rom::SpeciesField& field) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
        case rom::Presentation::Length:
        case rom::Presentation::Gender:
            return true;
        case rom::Presentation::ListPosition:
        case rom::Presentation::HexText:
            return false;
    }
    return false;
}

std::string ValueText(const rom::SpeciesField& field, const FieldBytes& bytes) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
        case rom::Presentation::Gender:
            return std::to_string(bytes[0]);
        case rom::Presentation::Length:
            return std::to_string(bytes[0] | bytes[1] << 8);
        case rom::Presentation::HexText: {
            std::string text = rom::TwoDigitHex(bytes[0]);
            if (field.width == 2) text += rom::TwoDigitHex(bytes[1]);
            return text;
        }
        case rom::Presentation::ListPosition: {
            const std::span<const std::string_view> entries = ListOf(field);
            if (bytes[0] < entries.size()) {
                const std::string_view entry = entries[bytes[0]];
                if (UniqueEntryPosition(entries, entry) == bytes[0]) return std::string(Trimmed(entry));
            }
            return rom::TwoDigitHex(bytes[0]);
        }
    }
    return rom::TwoDigitHex(bytes[0]);
}

rom::Encoded EncodeValueText(const rom::SpeciesField& field, std::string_view text) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
            // A scroll bar takes the same values as a decimal box: 0 to 255.
            return rom::EncodeDecimal(field, text);
        case rom::Presentation::HexText:
            return rom::EncodeHexText(field, text);
        case rom::Presentation::ListPosition:
            return EncodeListText(field, text);
        case rom::Presentation::Length: {
            const std::optional<int64_t> value = WholeNumber(text);
            if (!value || *value > 0xFFFF) return Refuse(field, "a whole number from 0 to 65535", text);
            return rom::EncodeLength(field, static_cast<int32_t>(*value));
        }
        case rom::Presentation::Gender: {
            const std::optional<int64_t> value = WholeNumber(text);
            if (!value || *value > 0xFF) {
                return Refuse(field, "a whole number from 0 to 255 (255: no gender)", text);
            }
            return rom::EncodeGender(field, *value == 0xFF, static_cast<int32_t>(*value));
        }
    }
    return Refuse(field, "a value", text);
}

FieldBytes BytesOfHex(std::string_view hex) {
    FieldBytes bytes{};
    for (size_t k = 0; k < bytes.size() && 2 * k + 1 < hex.size(); ++k) {
        bytes[k] = static_cast<uint8_t>(rom::hexdigits::Value(hex[2 * k]) * 16 + rom::hexdigits::Value(hex[2 * k + 1]));
    }
    return bytes;
}

std::string_view SpeciesName(int32_t position) {
    if (position < 0 || position >= rom::kSpeciesCount) return {};
    return Trimmed(lists::kSpeciesList[static_cast<size_t>(position)]);
}

}  // namespace tables
