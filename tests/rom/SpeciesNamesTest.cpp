// The names table located through the routine that reads it, and refused
// wherever the routine or the table's contents do not prove it.

#include "rom/SpeciesNames.h"

#include <gtest/gtest.h>

#include <vector>

#include "rom/CodeRoutines.h"
#include "rom/TablesFile.h"

namespace {

constexpr int64_t kImageSize = 0x80000;
constexpr uint8_t kBank = 0x14;
constexpr uint16_t kAddress = 0x5000;
constexpr int64_t kTable = int64_t{kBank} * 0x4000 + (kAddress - 0x4000);

std::vector<uint8_t> Routine(std::string_view pattern, uint16_t address, uint8_t length) {
    return rom::RoutinePattern(pattern).Bytes(address, kBank, length, 0x00);
}

void Put(std::vector<uint8_t>& image, int64_t at, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + at);
}

// An image holding the routine at 0x2000 and 251 names "AB" of `length`.
std::vector<uint8_t> ImageWith(std::string_view pattern, int length, uint8_t copied) {
    std::vector<uint8_t> image(kImageSize, 0x00);
    Put(image, 0x2000, Routine(pattern, kAddress, copied));
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        std::vector<uint8_t> field(static_cast<size_t>(length), rom::kNameEnd);
        field[0] = 0x80;
        field[1] = 0x81;
        Put(image, kTable + int64_t{p} * length, field);
    }
    return image;
}

TEST(SpeciesNamesTest, EachRoutineGivesTheTableAndTheLengthItsCodeProves) {
    struct Case {
        std::string_view pattern;
        int length;
    };
    for (const Case& c : {Case{rom::kCrystalNameRoutine, 10}, Case{rom::kGoldSilverNameRoutine10, 10},
                          Case{rom::kGoldSilverNameRoutine5, 5}}) {
        SCOPED_TRACE(std::string(c.pattern));
        const rom::NamesLocation found = rom::LocateSpeciesNames(ImageWith(c.pattern, c.length, uint8_t(c.length)));
        ASSERT_TRUE(found.table.has_value()) << found.fault;
        EXPECT_EQ(found.table->offset, kTable);
        EXPECT_EQ(found.table->fieldLength, c.length);
        EXPECT_EQ(found.table->routineAt, 0x2000);
        // A copy of another length than the multiplication's proves nothing.
        const rom::NamesLocation wrong =
            rom::LocateSpeciesNames(ImageWith(c.pattern, c.length, uint8_t(c.length == 10 ? 11 : 10)));
        EXPECT_FALSE(wrong.table.has_value());
        EXPECT_NE(wrong.fault.find("copies"), std::string::npos) << wrong.fault;
    }
}

TEST(SpeciesNamesTest, SeveralRoutinesMustNameOneTable) {
    std::vector<uint8_t> image = ImageWith(rom::kCrystalNameRoutine, 10, 10);
    Put(image, 0x3000, Routine(rom::kCrystalNameRoutine, kAddress, 10));
    EXPECT_TRUE(rom::LocateSpeciesNames(image).table.has_value());
    Put(image, 0x3000, Routine(rom::kCrystalNameRoutine, kAddress + 10, 10));
    const rom::NamesLocation split = rom::LocateSpeciesNames(image);
    EXPECT_FALSE(split.table.has_value());
    EXPECT_NE(split.fault.find("different tables"), std::string::npos) << split.fault;

    std::vector<uint8_t> none(kImageSize, 0x00);
    EXPECT_NE(rom::LocateSpeciesNames(none).fault.find("does not occur"), std::string::npos);
}

TEST(SpeciesNamesTest, TheContentsMustBeNameFieldsInOneBank) {
    // Bytes after a name's end mark: not a name field.
    std::vector<uint8_t> image = ImageWith(rom::kCrystalNameRoutine, 10, 10);
    image[kTable + 250 * 10 + 9] = 0x80;
    EXPECT_NE(rom::LocateSpeciesNames(image).fault.find("after its end mark"), std::string::npos);

    // No name ends before its field does: zeros, not names.
    image = ImageWith(rom::kCrystalNameRoutine, 10, 10);
    std::fill(image.begin() + kTable, image.begin() + kTable + 2510, 0x00);
    EXPECT_FALSE(rom::LocateSpeciesNames(image).table.has_value());

    // Every name filling its field but one: as the releases hold them.
    image = ImageWith(rom::kCrystalNameRoutine, 10, 10);
    std::fill(image.begin() + kTable, image.begin() + kTable + 2500, 0x81);
    EXPECT_TRUE(rom::LocateSpeciesNames(image).table.has_value());

    // A table the routine would read past the end of its bank.
    image.assign(kImageSize, 0x00);
    Put(image, 0x2000, Routine(rom::kCrystalNameRoutine, 0x7800, 10));
    EXPECT_NE(rom::LocateSpeciesNames(image).fault.find("past the end of their bank"), std::string::npos);
}

TEST(SpeciesNamesTest, TheCharacterSetComesFromTheTablesFileElseTheMarket) {
    for (const rom::ReleaseLayout& row : rom::kReleaseLayouts) {
        const std::string_view expected = row.market == "French"     ? "fr"
                                          : row.market == "German"   ? "de"
                                          : row.market == "Spanish"  ? "es"
                                          : row.market == "Japanese" ? "ja"
                                                                     : "en";
        EXPECT_EQ(rom::ImageCharset(&row, std::nullopt), expected) << row.market;
        EXPECT_EQ(rom::ImageCharset(&row, "de"), "de");
    }
    EXPECT_EQ(rom::ImageCharset(nullptr, std::nullopt), "en");

    const std::string offsets = "base = 0x1\nicons = 0x2\ncries = 0x3\npointers = 0x4\n";
    const rom::TablesFileParse parse = rom::ParseTablesFile(offsets + "charset = ja  # kana\n");
    ASSERT_TRUE(parse.file.has_value()) << parse.fault;
    EXPECT_EQ(parse.file->charset, "ja");
    EXPECT_FALSE(rom::ParseTablesFile(offsets).file->charset.has_value());
    const rom::TablesFileParse unknown = rom::ParseTablesFile(offsets + "charset = jp\n");
    EXPECT_EQ(unknown.line, 5);
    EXPECT_NE(unknown.fault.find("not a character set"), std::string::npos);
    const rom::TablesFileParse twice = rom::ParseTablesFile("charset = fr\n" + offsets + "charset = fr\n");
    EXPECT_EQ(twice.line, 6);
    EXPECT_NE(twice.fault.find("second \"charset\""), std::string::npos);
}

}  // namespace
