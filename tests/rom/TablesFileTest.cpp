// The ".tables" file beside an image: read whole or refused whole, and used
// only where the image confirms it.

#include "rom/TablesFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "tests/rom/LayoutTestSupport.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

namespace {

using layouttest::ResolveBoth;
using rom::GameVersion;
using rom::ImageLayout;
using rom::TablesEntry;
using rom::VersionProfile;
using testsupport::TestImage;

// ---- Reading the file -----------------------------------------------------------------

TEST(TablesFileText, ReadsOffsetsCommentsAndBlankLinesInAnyOrder) {
    const rom::TablesFileParse parse = rom::ParseTablesFile(
        "# tables of my game\r\n"
        "\n"
        "pointers = 0x427BD   # moved with the rest\r\n"
        "\tbase=0X51b0b\n"
        "icons   =   0x8E975\n"
        "cries = 0xf2747\n"
        "   # eggs below\n"
        "eggs = 0x239FE");
    ASSERT_TRUE(parse.file) << parse.line << ": " << parse.fault;
    EXPECT_EQ(parse.file->profile, (VersionProfile{0x51B0B, 0x8E975, 0xF2747, 0x427BD}));
    EXPECT_EQ(parse.file->eggMovePointerOffset, 0x239FE);
    EXPECT_EQ(parse.file->LineOf(TablesEntry::Pointers), 3);
    EXPECT_EQ(parse.file->LineOf(TablesEntry::Base), 4);
    EXPECT_EQ(parse.file->LineOf(TablesEntry::Eggs), 8);

    // Without "eggs", and as info suggests the lines.
    const VersionProfile profile{0x7FFFFFFF, 0, 0x10, 0xABCDEF};
    const rom::TablesFileParse again = rom::ParseTablesFile(rom::TablesFileText(profile));
    ASSERT_TRUE(again.file) << again.fault;
    EXPECT_EQ(again.file->profile, profile);
    EXPECT_EQ(again.file->eggMovePointerOffset, std::nullopt);
    EXPECT_EQ(again.file->LineOf(TablesEntry::Eggs), 0);
}

struct Malformed {
    const char* name;
    std::string text;
    int line;
    const char* fault;
};

class MalformedTablesFile : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedTablesFile, IsRefusedWholeNamingTheLine) {
    const rom::TablesFileParse parse = rom::ParseTablesFile(GetParam().text);
    EXPECT_FALSE(parse.file);
    EXPECT_EQ(parse.line, GetParam().line);
    EXPECT_NE(parse.fault.find(GetParam().fault), std::string::npos) << parse.fault;
}

const std::string kFour = "base = 0x51B0B\nicons = 0x8E975\ncries = 0xF2747\npointers = 0x427BD\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, MalformedTablesFile,
    testing::Values(Malformed{"Empty", "", 0, "no line \"base = 0x...\""},
                    Malformed{"OnlyComments", "# base = 0x1\n\n", 0, "no line \"base = 0x...\""},
                    Malformed{"MissingIcons", "base = 0x1\ncries = 0x2\npointers = 0x3\n", 0, "no line \"icons"},
                    Malformed{"NoEquals", kFour + "eggs 0x239FE\n", 5, "is not a line such as"},
                    Malformed{"UnknownKey", "base = 0x1\nicon = 0x2\n", 2, "\"icon\" is not one of"},
                    Malformed{"SecondBase", kFour + "base = 0x51B0B\n", 5, "a second \"base\" line (the first is line 1)"},
                    Malformed{"Decimal", "base = 334603\n", 1, "\"334603\" is not an offset"},
                    Malformed{"BarePrefix", "base = 0x\n", 1, "\"0x\" is not an offset"},
                    Malformed{"NotHex", "base = 0x51G0B\n", 1, "is not an offset"},
                    Malformed{"Negative", "base = -0x10\n", 1, "is not an offset"},
                    Malformed{"NineDigits", "base = 0x000051B0B\n", 1, "is not an offset"},
                    Malformed{"PastSigned32Bits", "base = 0x80000000\n", 1, "up to 0x7FFFFFFF"},
                    Malformed{"TwoValues", "base = 0x1 0x2\n", 1, "is not an offset"},
                    Malformed{"EmptyValue", "base =\n", 1, "\"\" is not an offset"},
                    Malformed{"NulByte", kFour + std::string("eggs = 0x1\0", 11), 5, "NUL byte"},
                    // A fault after four good lines still refuses the file.
                    Malformed{"FaultAtTheEnd", kFour + "colour = 0x1\n", 5, "\"colour\""}),
    [](const testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

// ---- The file beside an image ---------------------------------------------------------

// A complete Gold image of the American release whose tables moved 0x40
// bytes later, without the routines that would say so, and the text that
// says so.
class TablesFileBesideAnImage : public testing::Test {
protected:
    static constexpr int32_t kMovedBy = 0x40;
    const rom::ReleaseLayout& row = rom::FirstAmericanRelease(GameVersion::Gold);
    TestImage image = TestImage::OfRelease(row, kMovedBy, /*withRoutines=*/false);

    VersionProfile moved() const {
        const VersionProfile p = row.tables;
        return {p.BaseStatsOffset + kMovedBy, p.MenuIconOffset + kMovedBy, p.CryTableOffset + kMovedBy,
                p.EvoMovePointerOffset + kMovedBy};
    }

    rom::ResolvedLayout Resolve() const { return ResolveBoth(image, GameVersion::Gold); }

    // The refusal names the file and the line, and nothing is offered.
    void ExpectRefused(int line, const std::string& fault) const {
        const rom::ResolvedLayout layout = Resolve();
        EXPECT_EQ(layout.kind, ImageLayout::Unknown);
        EXPECT_EQ(layout.profile, std::nullopt);
        EXPECT_EQ(layout.tablesFile, image.tablesPath());
        const std::string where =
            line > 0 ? "Line " + std::to_string(line) + " of \"" + image.tablesPath() + "\": " : "\"" + image.tablesPath() + "\": ";
        EXPECT_EQ(layout.refusal.rfind(where, 0), 0u) << layout.refusal;
        EXPECT_NE(layout.refusal.find(fault), std::string::npos) << layout.refusal;
    }
};

TEST_F(TablesFileBesideAnImage, MakesTheMovedTablesEditableExactlyThere) {
    ASSERT_EQ(Resolve().kind, ImageLayout::Unknown);  // refused without the file
    image.WriteTablesFile("# moved by 0x40\n" + rom::TablesFileText(moved()) + "eggs = 0x23A3E\n");
    const rom::ResolvedLayout layout = Resolve();
    EXPECT_EQ(layout.kind, ImageLayout::TablesFile);
    EXPECT_EQ(layout.profile, moved());
    EXPECT_EQ(layout.eggMovePointerOffset, 0x23A3E);
    EXPECT_EQ(layout.release, nullptr);
    EXPECT_EQ(layout.tablesFile, image.tablesPath());
}

TEST_F(TablesFileBesideAnImage, IsRefusedWhereTheImageDisagrees) {
    VersionProfile p = moved();
    p.BaseStatsOffset += 32;  // record 2 where record 1 belongs
    image.WriteTablesFile("# one record off\n" + rom::TablesFileText(p));
    ExpectRefused(2, "the base records at 0x51B6B are not numbered 1 to 251");

    p = moved();
    p.CryTableOffset = 0x100;  // pattern bytes: byte 1 is not 0
    image.WriteTablesFile(rom::TablesFileText(p));
    ExpectRefused(3, "the cry entries at 0x100 are not cry entries");

    p = moved();
    p.EvoMovePointerOffset = 0x200000 - 501;  // the last pointer would end one byte past the end
    image.WriteTablesFile(rom::TablesFileText(p));
    ExpectRefused(4, "the move/evolution pointers at 0x1FFE0B would end at 0x200001, past the end of the image");

    p = moved();
    p.EvoMovePointerOffset += 2;  // species 2's pointer read as species 1's: its lists are complete, the last is not
    image.WriteTablesFile(rom::TablesFileText(p));
    ExpectRefused(4, "do not all lead to complete lists (species 251: its pointer at 0x429F3 holds the address 0x0, outside 0x4000 to 0x7FFF)");

    image.WriteTablesFile(rom::TablesFileText(moved()) + "eggs = 0x7FFFFFFF\n");
    ExpectRefused(5, "the egg move pointers at 0x7FFFFFFF");
}

TEST_F(TablesFileBesideAnImage, DecidesAloneEvenWhereTheReleaseWouldBeConfirmed) {
    // The image is an unmoved release, but the file beside it is malformed or
    // names other offsets: refused, never read in part or passed over.
    image = TestImage::OfRelease(row);
    image.WriteTablesFile(rom::TablesFileText(row.tables) + "pointers = 0x427BD\n");
    ExpectRefused(5, "a second \"pointers\" line");
    image.WriteTablesFile(rom::TablesFileText(moved()));
    ExpectRefused(1, "are not numbered 1 to 251");
    std::filesystem::remove(image.tablesPath());
    EXPECT_EQ(Resolve().kind, ImageLayout::Released);
}

TEST_F(TablesFileBesideAnImage, ThatIsNoFileIsRefused) {
    std::filesystem::create_directory(image.tablesPath());
    ExpectRefused(0, "not a regular file");
}

TEST_F(TablesFileBesideAnImage, ThatIsTooLongIsRefusedUnread) {
    image.WriteTablesFile(rom::TablesFileText(moved()) + std::string(rom::kLargestTablesFile, '#'));
    ExpectRefused(0, "could not be read");
}

TEST(TablesFileBesideAHandBuiltImage, IsUsedOrRefusedLikeAnyOther) {
    TestImage image(TestImage::HeaderByte(GameVersion::Silver), 1024 * 1024);  // not complete
    const VersionProfile profile{0x1000, 0x3000, 0x4000, 0x5000};
    image.NumberBaseRecords(profile.BaseStatsOffset);
    image.WriteTablesFile(rom::TablesFileText(profile));
    rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Silver);
    EXPECT_EQ(layout.kind, ImageLayout::TablesFile);
    EXPECT_EQ(layout.profile, profile);
    EXPECT_EQ(layout.eggMovePointerOffset, std::nullopt);

    // Wrong: refused, not the default tables of a hand-built image.
    image.WriteTablesFile(rom::TablesFileText({0x1001, 0x3000, 0x4000, 0x5000}));
    layout = ResolveBoth(image, GameVersion::Silver);
    EXPECT_EQ(layout.kind, ImageLayout::Unknown);
    EXPECT_NE(layout.refusal.find("Line 1 of"), std::string::npos) << layout.refusal;
}

}  // namespace
