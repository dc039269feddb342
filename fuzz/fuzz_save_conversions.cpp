// Hostile control values for the save-side conversions, for every field of
// the species table and every presentation.
//
// Each conversion is checked against an independent reading of what it
// accepts. An accepted result is exactly two uppercase hex digits per byte the
// conversion stores (the field's width for the field's own presentation) and
// decodes back to the value typed; a refusal names the field's caption first.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/FieldConversions.h"
#include "rom/SpeciesLayout.h"
#include "lists/ChoiceLists.h"

namespace {

using rom::Encoded;
using rom::Presentation;
using rom::SpeciesField;

[[noreturn]] void Fail(const SpeciesField& field, const char* what) {
    std::fprintf(stderr, "invariant broken for %.*s: %s\n", static_cast<int>(field.control.size()),
                 field.control.data(), what);
    std::abort();
}

void Expect(const SpeciesField& field, bool condition, const char* what) {
    if (!condition) Fail(field, what);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The number the digits stand for, when they are 1 to maxDigits hex digits.
std::optional<int64_t> HexValue(std::string_view digits, size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (DigitValue(c) < 0) return std::nullopt;
        value = value * 16 + DigitValue(c);
    }
    return value;
}

// The number a decimal text box holds, when it is a whole number 0 to 255.
std::optional<int32_t> DecimalValue(std::string_view text) {
    std::string_view digits = Trimmed(text);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > 3) return std::nullopt;
    int32_t value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value <= 255 ? std::optional<int32_t>(value) : std::nullopt;
}

// Checks the common shape of a result and returns its value, or nullopt for
// a refusal. `bytes` is how many bytes the conversion stores.
void CheckShape(const SpeciesField& field, const Encoded& result, bool expectAccepted, size_t bytes) {
    Expect(field, result.ok() == expectAccepted, "accepted exactly the values it can store");
    if (!result.ok()) {
        Expect(field, result.hex.empty(), "a refusal carries no bytes");
        const std::string lead = std::string(field.caption) + " must be ";
        Expect(field, result.refusal.compare(0, lead.size(), lead) == 0, "a refusal names the field first");
        return;
    }
    Expect(field, result.hex.size() == 2 * bytes, "two hex digits per stored byte");
    for (char c : result.hex) {
        Expect(field, (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'), "only uppercase hex digits");
    }
}

std::span<const std::string_view> ListOf(const SpeciesField& field) {
    if (field.control == "Type1" || field.control == "Type2") return lists::kTypeList;
    if (field.control == "Item1" || field.control == "Item2") return lists::kHeldItemList;
    if (field.control == "Sprite") return lists::kMenuSpriteList;
    if (field.control == "Cry") return lists::kBaseCryList;
    return lists::kTypeList;
}

// The bytes each presentation stores, which must be the width of every field
// shown that way.
size_t StoredBytes(const SpeciesField& field, Presentation presentation) {
    switch (presentation) {
        case Presentation::HexText:
            return static_cast<size_t>(field.width);
        case Presentation::Length:
            return 2;
        default:
            return 1;
    }
}

void CheckDecimal(const SpeciesField& field, std::string_view text) {
    const Encoded result = rom::EncodeDecimal(field, text);
    const std::optional<int32_t> typed = DecimalValue(text);
    CheckShape(field, result, typed.has_value(), 1);
    if (!result.ok()) return;
    Expect(field, rom::HexToNumber(result.hex) == *typed, "decimal decodes back");
    Expect(field, rom::DecimalTextFromHex(result.hex) == std::to_string(*typed), "decimal text decodes back");
}

void CheckHexText(const SpeciesField& field, std::string_view text) {
    const Encoded result = rom::EncodeHexText(field, text);
    const size_t digits = static_cast<size_t>(field.width) * 2;
    const std::optional<int64_t> typed = HexValue(Trimmed(text), digits);
    CheckShape(field, result, typed.has_value(), static_cast<size_t>(field.width));
    if (!result.ok()) return;
    Expect(field, rom::HexToNumber(result.hex) == typed, "hex text decodes back");
}

void CheckListChoice(const SpeciesField& field, int32_t position, std::string_view text) {
    const std::span<const std::string_view> entries = ListOf(field);
    const Encoded result = rom::EncodeListChoice(field, position, text, entries);
    std::optional<int64_t> typed;
    if (position >= 0 && position <= 255) {
        typed = position;
    } else if (position == -1) {
        for (size_t i = 0; i < entries.size() && !typed; ++i) {
            if (entries[i] == text) typed = static_cast<int64_t>(i);
        }
        if (!typed) typed = HexValue(Trimmed(text), 2);
    }
    CheckShape(field, result, typed.has_value(), 1);
    if (!result.ok()) return;
    Expect(field, rom::HexToNumber(result.hex) == typed, "list choice decodes back");
}

void CheckSlider(const SpeciesField& field, int32_t value) {
    const Encoded result = rom::EncodeSlider(field, value);
    CheckShape(field, result, value >= 0 && value <= 255, 1);
    if (result.ok()) Expect(field, rom::HexToNumber(result.hex) == value, "slider decodes back");
}

void CheckLength(const SpeciesField& field, int32_t value) {
    const Encoded result = rom::EncodeLength(field, value);
    CheckShape(field, result, value >= 0 && value <= 0xFFFF, 2);
    if (!result.ok()) return;
    Expect(field, rom::LengthFromHex(result.hex) == value, "length decodes back");
    Expect(field, rom::HexToNumber(result.hex.substr(0, 2)) == (value & 0xFF), "length stores the low byte first");
}

void CheckGender(const SpeciesField& field, bool noGender, int32_t value) {
    const Encoded result = rom::EncodeGender(field, noGender, value);
    CheckShape(field, result, noGender || (value >= 0 && value <= 254), 1);
    if (!result.ok()) return;
    Expect(field, rom::HexToNumber(result.hex) == (noGender ? 0xFF : value), "gender decodes back");
}

// Control values: mostly around the ranges' edges, anywhere now and then.
int32_t PickValue(FuzzedDataProvider& data) {
    if (data.ConsumeBool()) return data.ConsumeIntegral<int32_t>();
    return data.ConsumeIntegralInRange<int32_t>(-3, 0x10002);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const SpeciesField& field : rom::kSpeciesFields) {
        Expect(field, StoredBytes(field, field.presentation) == static_cast<size_t>(field.width),
               "the field's presentation stores its width");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const SpeciesField& field =
        rom::kSpeciesFields[provider.ConsumeIntegralInRange<size_t>(0, rom::kSpeciesFields.size() - 1)];
    const int32_t value = PickValue(provider);
    const int32_t position = provider.ConsumeBool() ? -1 : PickValue(provider);
    const bool noGender = provider.ConsumeBool();
    std::string text = provider.ConsumeRandomLengthString(64);
    // Now and then the exact text of a list entry, as a combo box shows it.
    if (provider.ConsumeBool()) {
        const std::span<const std::string_view> entries = ListOf(field);
        text = std::string(entries[provider.ConsumeIntegralInRange<size_t>(0, entries.size() - 1)]);
    }

    // Every presentation's conversion, with this field: each must hold its
    // rules whatever field it is handed.
    CheckDecimal(field, text);
    CheckHexText(field, text);
    CheckListChoice(field, position, text);
    CheckSlider(field, value);
    CheckLength(field, value);
    CheckGender(field, noGender, value);
    return 0;
}
