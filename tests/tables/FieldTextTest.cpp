#include "tables/FieldText.h"

#include <gtest/gtest.h>

#include <string>

#include "rom/SpeciesLayout.h"
#include "lists/ChoiceLists.h"

namespace {

using tables::EncodeValueText;
using tables::FieldBytes;
using tables::ValueText;

const rom::SpeciesField& Field(std::string_view control) {
    const rom::SpeciesField* field = rom::FindField(control);
    if (field == nullptr) throw std::invalid_argument(std::string(control));
    return *field;
}

FieldBytes Imported(std::string_view control, std::string_view text) {
    const rom::Encoded encoded = EncodeValueText(Field(control), text);
    EXPECT_TRUE(encoded.ok()) << control << " \"" << text << "\": " << encoded.refusal;
    return tables::BytesOfHex(encoded.hex);
}

std::string Refusal(std::string_view control, std::string_view text) {
    const rom::Encoded encoded = EncodeValueText(Field(control), text);
    EXPECT_FALSE(encoded.ok()) << control << " \"" << text << "\" was accepted as " << encoded.hex;
    return encoded.refusal;
}

// Every value of every field comes back as the same bytes: all 256 bytes of
// the one-byte fields, all 65536 pairs of the two-byte fields.
TEST(FieldText, EveryValueOfEveryFieldComesBackExactly) {
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        const int values = field.width == 2 ? 65536 : 256;
        for (int value = 0; value < values; ++value) {
            const FieldBytes bytes{static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
            const std::string text = ValueText(field, bytes);
            const rom::Encoded encoded = EncodeValueText(field, text);
            ASSERT_TRUE(encoded.ok()) << field.control << " " << value << " \"" << text << "\": " << encoded.refusal;
            ASSERT_EQ(tables::BytesOfHex(encoded.hex), bytes) << field.control << " " << value << " \"" << text << "\"";
        }
    }
}

TEST(FieldText, ExportForms) {
    EXPECT_EQ(ValueText(Field("HP"), {0x2D, 0}), "45");
    EXPECT_EQ(ValueText(Field("Pitch"), {0xFF, 0}), "255");
    EXPECT_EQ(ValueText(Field("Gender"), {0xFF, 0}), "255");
    EXPECT_EQ(ValueText(Field("Length"), {0x40, 0x01}), "320");  // low byte first
    EXPECT_EQ(ValueText(Field("Size"), {0x05, 0}), "05");
    EXPECT_EQ(ValueText(Field("Pointer"), {0x3A, 0x67}), "3A67");  // file order, no swap
    // List entries: trimmed, unless another position shares the text.
    EXPECT_EQ(ValueText(Field("Item1"), {0x01, 0}), "01 - Master Ball");
    EXPECT_EQ(ValueText(Field("Item2"), {0xFF, 0}), "FF - Nothing");
    EXPECT_EQ(ValueText(Field("Type1"), {0x16, 0}), "Grass");
    EXPECT_EQ(ValueText(Field("Type1"), {0x13, 0}), "???");
    EXPECT_EQ(ValueText(Field("Type2"), {0x0A, 0}), "0A");  // "?" is shared by nine positions
    EXPECT_EQ(ValueText(Field("Type2"), {0x1C, 0}), "1C");  // no entry
    EXPECT_EQ(ValueText(Field("Sprite"), {0x26, 0}), "26-Charizard");
    EXPECT_EQ(ValueText(Field("Sprite"), {0x27, 0}), "27");
    EXPECT_EQ(ValueText(Field("Cry"), {0x43, 0}), "43 = Donphan");
    EXPECT_EQ(ValueText(Field("Cry"), {0x44, 0}), "44");
    EXPECT_EQ(tables::SpeciesName(202), "Girafarig");
}

TEST(FieldText, ImportTakesTheWindowsSpellings) {
    EXPECT_EQ(Imported("HP", " 007 "), (FieldBytes{7, 0}));
    EXPECT_EQ(Imported("Size", "7f"), (FieldBytes{0x7F, 0}));
    EXPECT_EQ(Imported("Size", "5"), (FieldBytes{0x05, 0}));
    EXPECT_EQ(Imported("Pointer", "7"), (FieldBytes{0x00, 0x07}));
    EXPECT_EQ(Imported("Pointer", "3a67"), (FieldBytes{0x3A, 0x67}));
    EXPECT_EQ(Imported("Length", "767"), (FieldBytes{0xFF, 0x02}));
    EXPECT_EQ(Imported("Gender", "255"), (FieldBytes{0xFF, 0}));
    EXPECT_EQ(Imported("Gender", "254"), (FieldBytes{0xFE, 0}));
    // List fields: an entry's text with or without its spaces, or a hex code.
    EXPECT_EQ(Imported("Item1", "01 - Master Ball "), (FieldBytes{0x01, 0}));
    EXPECT_EQ(Imported("Item1", "  01 - Master Ball"), (FieldBytes{0x01, 0}));
    EXPECT_EQ(Imported("Item1", "C3 - TM 4 - Rollout (not a typo. It shows up twice.)"), (FieldBytes{0xC3, 0}));
    EXPECT_EQ(Imported("Type1", "Dark"), (FieldBytes{0x1B, 0}));
    EXPECT_EQ(Imported("Type1", "1c"), (FieldBytes{0x1C, 0}));
    EXPECT_EQ(Imported("Type1", "a"), (FieldBytes{0x0A, 0}));
    EXPECT_EQ(Imported("Cry", "FF"), (FieldBytes{0xFF, 0}));
}

TEST(FieldText, ImportRefusesWhatTheWindowRefuses) {
    EXPECT_EQ(Refusal("HP", "256"), "HP must be a whole number from 0 to 255; it holds \"256\".");
    EXPECT_EQ(Refusal("HP", ""), "HP must be a whole number from 0 to 255; it is empty.");
    Refusal("HP", "-1");
    Refusal("HP", "4.5");
    Refusal("HP", "0x10");
    Refusal("Echo", "256");
    EXPECT_EQ(Refusal("Size", "ABC"), "Pic Size must be 1 to 2 hex digits (0-9, A-F); it holds \"ABC\".");
    Refusal("Pointer", "ABCDE");
    Refusal("Pointer", "");
    Refusal("Groups", "G1");
    EXPECT_EQ(Refusal("Length", "65536"), "Length must be a whole number from 0 to 65535; it holds \"65536\".");
    Refusal("Length", "99999999999999999999");
    Refusal("Length", "-1");
    EXPECT_EQ(Refusal("Gender", "256"),
              "Gender Ratio must be a whole number from 0 to 255 (255: no gender); it holds \"256\".");
    // A shared text names no single position.
    EXPECT_EQ(Refusal("Type1", "?"),
              "Types (first) must be the text of an entry that no other position shares, or a code of 1 to 2 hex "
              "digits; \"?\" is the text of 9 positions.");
    Refusal("Item1", "N/A");
    Refusal("Item1", "Master Ball");  // the entry is "01 - Master Ball "
    Refusal("Sprite", "100");
    Refusal("Cry", "");
}

}  // namespace
