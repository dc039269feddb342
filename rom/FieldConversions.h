#pragma once
// Conversions between a field's hex byte-string and its presentation in a
// control, both ways, as pure functions. The save side checks what the user
// typed and refuses anything it cannot store exactly as typed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace rom {

// ---- Load side: hex byte-string as read -> presentation -------------------

// The hex text read as an unsigned number (1 to 4 digits, either case);
// nullopt for empty or non-hex text.
std::optional<int32_t> HexToNumber(std::string_view hex);

// "2D" gives "45"; nullopt when the text is not hex.
std::optional<std::string> DecimalTextFromHex(std::string_view hex);

// The two file-order bytes of the cry length as a number: "4001" gives 320.
std::optional<int32_t> LengthFromHex(std::string_view hex);

// Uppercase hex digits without leading zeros: 0 "0", 10 "A", 767 "2FF".
std::string CaptionHex(int32_t value);

// Two uppercase hex digits: 5 gives "05".
std::string TwoDigitHex(int32_t value);

// ---- Save side: control value -> hex byte-string to write -----------------

// Either the hex byte-string to write, or the message refusing the input.
struct Encoded {
    std::string hex;
    std::string refusal;
    bool ok() const { return refusal.empty(); }
};

// A decimal text box: a whole number 0 to 255, spaces around it ignored.
Encoded EncodeDecimal(const SpeciesField& field, std::string_view text);

// A hex text box: 1 to 2 x width hex digits in either case, spaces around it
// ignored, padded on the left with "0" to 2 x width digits.
Encoded EncodeHexText(const SpeciesField& field, std::string_view text);

// A combo box. `position` is its list position (-1 when the edit text is not
// the selected entry's text); `text` is what its edit field shows; `entries`
// is its list. A position 0 to 255 is the byte; otherwise text that is exactly
// an entry's text takes that entry's position (the first, where entries share
// a text); otherwise 1 to 2 hex digits are the code.
Encoded EncodeListChoice(const SpeciesField& field, int32_t position, std::string_view text,
                         std::span<const std::string_view> entries);

// A one-byte scroll bar value, 0 to 255.
Encoded EncodeSlider(const SpeciesField& field, int32_t value);

// The cry length, 0 to 65535, as two bytes low byte first: 320 gives "4001".
Encoded EncodeLength(const SpeciesField& field, int32_t value);

// The gender byte: "FF" when the no-gender box is checked, else the slider
// value 0 to 254.
Encoded EncodeGender(const SpeciesField& field, bool noGender, int32_t sliderValue);

}  // namespace rom
