#include "rom/FieldConversions.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/TestNames.h"

namespace {

using rom::Encoded;
using rom::FindField;
using rom::SpeciesField;

const SpeciesField& Field(std::string_view control) {
    const SpeciesField* field = FindField(control);
    if (field == nullptr) throw std::logic_error("no field " + std::string(control));
    return *field;
}

// ---- Load side --------------------------------------------------------------------

TEST(LoadConversions, TurnReadHexIntoPresentations) {
    EXPECT_EQ(rom::HexToNumber("2D"), 45);
    EXPECT_EQ(rom::HexToNumber("ff"), 255);
    EXPECT_EQ(rom::HexToNumber("FFFF"), 65535);
    EXPECT_EQ(rom::HexToNumber(""), std::nullopt);
    EXPECT_EQ(rom::HexToNumber("12345"), std::nullopt);
    EXPECT_EQ(rom::HexToNumber("G1"), std::nullopt);

    EXPECT_EQ(rom::DecimalTextFromHex("2D"), "45");
    EXPECT_EQ(rom::DecimalTextFromHex("00"), "0");
    EXPECT_EQ(rom::DecimalTextFromHex(""), std::nullopt);

    EXPECT_EQ(rom::LengthFromHex("4001"), 320);
    EXPECT_EQ(rom::LengthFromHex("FF02"), 767);
    EXPECT_EQ(rom::LengthFromHex("4G01"), std::nullopt);

    EXPECT_EQ(rom::CaptionHex(0), "0");
    EXPECT_EQ(rom::CaptionHex(10), "A");
    EXPECT_EQ(rom::CaptionHex(767), "2FF");
    EXPECT_EQ(rom::TwoDigitHex(5), "05");
    EXPECT_EQ(rom::TwoDigitHex(255), "FF");
}

// ---- Text boxes ---------------------------------------------------------------------

struct TextCase {
    const char* control;
    const char* text;
    const char* expectedHex;  // nullptr: refused
};

// "HP_45", "Size_Empty": the control and what was typed into it.
std::string TextCaseName(const testing::TestParamInfo<TextCase>& info) {
    return std::string(info.param.control) + "_" + testsupport::NameFromText(info.param.text);
}

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.control << " <- \"" << c.text << "\"";
}

class TextBoxEncoding : public testing::TestWithParam<TextCase> {};

TEST_P(TextBoxEncoding, StoresWhatWasTypedOrRefusesIt) {
    const TextCase& c = GetParam();
    const SpeciesField& field = Field(c.control);
    const Encoded encoded = field.presentation == rom::Presentation::Decimal ? rom::EncodeDecimal(field, c.text)
                                                                             : rom::EncodeHexText(field, c.text);
    if (c.expectedHex != nullptr) {
        EXPECT_TRUE(encoded.ok()) << encoded.refusal;
        EXPECT_EQ(encoded.hex, c.expectedHex);
    } else {
        EXPECT_FALSE(encoded.ok());
        EXPECT_TRUE(encoded.hex.empty());
        // The message names the field by its caption.
        EXPECT_EQ(encoded.refusal.rfind(std::string(field.caption) + " must be ", 0), 0u) << encoded.refusal;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, TextBoxEncoding,
    testing::Values(TextCase{"HP", "45", "2D"}, TextCase{"HP", "0", "00"}, TextCase{"ATK", "255", "FF"},
                    TextCase{"RATE", " 45  ", "2D"}, TextCase{"EXP", "007", "07"}, TextCase{"HP", "300", nullptr},
                    TextCase{"HP", "256", nullptr}, TextCase{"HP", "-1", nullptr}, TextCase{"HP", "+5", nullptr},
                    TextCase{"HP", "", nullptr}, TextCase{"HP", "   ", nullptr}, TextCase{"HP", "4 5", nullptr},
                    TextCase{"HP", "2D", nullptr}, TextCase{"HP", "4.0", nullptr},
                    TextCase{"Cycles", "99999999999999999999", nullptr}),
    TextCaseName);

INSTANTIATE_TEST_SUITE_P(
    HexText, TextBoxEncoding,
    testing::Values(TextCase{"Size", "55", "55"}, TextCase{"Size", "7f", "7F"}, TextCase{"Groups", "3", "03"},
                    TextCase{"Groups", " a0 ", "A0"}, TextCase{"Size", "ABC", nullptr}, TextCase{"Size", "", nullptr},
                    TextCase{"Size", "G", nullptr}, TextCase{"Size", "0x5", nullptr},
                    TextCase{"Pointer", "7", "0007"}, TextCase{"Pointer", "3A67", "3A67"},
                    TextCase{"Pointer", "3a6", "03A6"}, TextCase{"Pointer", "12G4", nullptr},
                    TextCase{"Pointer", "12345", nullptr}, TextCase{"Pointer", "12 34", nullptr}),
    TextCaseName);

TEST(RefusalMessages, NameTheFieldSayWhatItAcceptsAndQuoteTheInput) {
    EXPECT_EQ(rom::EncodeDecimal(Field("HP"), "300").refusal, "HP must be a whole number from 0 to 255; it holds \"300\".");
    EXPECT_EQ(rom::EncodeDecimal(Field("SATK"), "").refusal, "S.ATK must be a whole number from 0 to 255; it is empty.");
    EXPECT_EQ(rom::EncodeHexText(Field("Size"), "ABC").refusal,
              "Pic Size must be 1 to 2 hex digits (0-9, A-F); it holds \"ABC\".");
    EXPECT_EQ(rom::EncodeHexText(Field("Pointer"), "12G4").refusal,
              "Move/Evo must be 1 to 4 hex digits (0-9, A-F); it holds \"12G4\".");
}

// ---- Combo boxes --------------------------------------------------------------------

constexpr std::array<std::string_view, 4> kEntries = {"Normal", "Fire", "Water", "Fire"};

TEST(ListChoiceEncoding, PositionTextMatchOrHexCode) {
    const SpeciesField& type1 = Field("Type1");
    const auto encode = [&](int32_t position, std::string_view text) {
        return rom::EncodeListChoice(type1, position, text, kEntries);
    };

    // A selected position is the byte, whatever the text shows.
    EXPECT_EQ(encode(0, "anything").hex, "00");
    EXPECT_EQ(encode(27, "").hex, "1B");
    EXPECT_EQ(encode(255, "").hex, "FF");
    // No selection: an entry's exact text gives its first position.
    EXPECT_EQ(encode(-1, "Fire").hex, "01");
    EXPECT_EQ(encode(-1, "Water").hex, "02");
    // Otherwise a code of 1 to 2 hex digits.
    EXPECT_EQ(encode(-1, "7f").hex, "7F");
    EXPECT_EQ(encode(-1, " 5 ").hex, "05");
    EXPECT_EQ(encode(-1, "1B").hex, "1B");

    for (std::string_view refused : {"Fire!", "fire", "", "100", "G"}) {
        const Encoded encoded = encode(-1, refused);
        EXPECT_FALSE(encoded.ok()) << refused;
        EXPECT_TRUE(encoded.hex.empty()) << refused;
    }
    EXPECT_EQ(encode(-1, "Fire!").refusal,
              "Types (first) must be an entry of its list or a code of 1 to 2 hex digits; it holds \"Fire!\".");
    EXPECT_FALSE(encode(256, "Fire").ok());
    EXPECT_FALSE(encode(-2, "Fire").ok());
}

// ---- Scroll bars --------------------------------------------------------------------

TEST(SliderEncoding, OneByteLengthAndGender) {
    const SpeciesField& pitch = Field("Pitch");
    EXPECT_EQ(rom::EncodeSlider(pitch, 0).hex, "00");
    EXPECT_EQ(rom::EncodeSlider(pitch, 171).hex, "AB");
    EXPECT_EQ(rom::EncodeSlider(pitch, 255).hex, "FF");
    EXPECT_EQ(rom::EncodeSlider(pitch, 256).refusal, "Pitch must be a value from 0 to 255; it holds 256.");
    EXPECT_FALSE(rom::EncodeSlider(pitch, -1).ok());

    const SpeciesField& length = Field("Length");
    EXPECT_EQ(rom::EncodeLength(length, 767).hex, "FF02");
    EXPECT_EQ(rom::EncodeLength(length, 320).hex, "4001");
    EXPECT_EQ(rom::EncodeLength(length, 0).hex, "0000");
    EXPECT_EQ(rom::EncodeLength(length, 65535).hex, "FFFF");
    EXPECT_FALSE(rom::EncodeLength(length, 65536).ok());
    EXPECT_FALSE(rom::EncodeLength(length, -1).ok());
    for (int32_t value : {0, 1, 255, 256, 320, 767, 4660, 65535}) {
        EXPECT_EQ(rom::LengthFromHex(rom::EncodeLength(length, value).hex), value);
    }

    const SpeciesField& gender = Field("Gender");
    EXPECT_EQ(rom::EncodeGender(gender, true, 31).hex, "FF");
    EXPECT_EQ(rom::EncodeGender(gender, true, 9999).hex, "FF");  // slider not looked at
    EXPECT_EQ(rom::EncodeGender(gender, false, 31).hex, "1F");
    EXPECT_EQ(rom::EncodeGender(gender, false, 254).hex, "FE");
    const Encoded refused = rom::EncodeGender(gender, false, 255);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.refusal.rfind("Gender Ratio must be ", 0), 0u) << refused.refusal;
}

}  // namespace
