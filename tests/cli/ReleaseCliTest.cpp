// Every command of quillmere-cli on images laid out like each official
// release: the release's own offsets, tables that moved with the routines
// that read them (a modified game), refusals where no routine says where they
// are, and the ".tables" file that makes such an image editable exactly where
// it says.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/TestNames.h"

namespace {

using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using rom::ReleaseLayout;
using testsupport::TestImage;

constexpr int32_t kMovedBy = 17;

std::string Hex(int64_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<long long>(value));
    return text;
}

class ReleaseCli : public clitest::Cli, public testing::WithParamInterface<size_t> {
protected:
    const ReleaseLayout& row() const { return rom::kReleaseLayouts[GetParam()]; }

    rom::VersionProfile Moved() const { return TestImage::MovedTables(row(), kMovedBy); }

    // Exports the image, sets the HP of position 24 to 123 in the table and
    // imports it; the one byte that changed must be the HP at `profile`.
    void ExpectHpEditLandsAt(const TestImage& image, const rom::VersionProfile& profile) {
        const std::string table = InFolder("table.csv");
        const Outcome exported = Quillmere({"export", image.path(), "-o", table});
        ASSERT_EQ(exported.status, 0) << exported.err;
        std::string csv = ReadFile(table);
        // After the Name cell, empty: the image's names are not known.
        const size_t hp = csv.find("\r\n24,Pikachu,,") + 14;
        ASSERT_NE(hp, std::string::npos + 14);
        csv.replace(hp, csv.find(',', hp) - hp, "123");
        WriteFile(table, csv);

        const std::vector<uint8_t> before = image.ReadAll();
        const Outcome imported = Quillmere({"import", image.path(), table});
        ASSERT_EQ(imported.status, 0) << imported.err;
        const std::vector<uint8_t> after = image.ReadAll();
        ASSERT_EQ(after.size(), before.size());
        std::vector<size_t> changed;
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] != before[i]) changed.push_back(i);
        }
        const size_t expected = static_cast<size_t>(profile.BaseStatsOffset) + 32 * 24 + 1;
        EXPECT_EQ(changed, std::vector<size_t>{expected});
        EXPECT_EQ(after[expected], 123);
    }
};

TEST_P(ReleaseCli, InfoNamesTheReleaseAndEveryCommandUsesItsOffsets) {
    const TestImage image = TestImage::OfRelease(row());
    const Outcome info = Quillmere({"info", image.path()});
    ASSERT_EQ(info.status, 0) << info.err;
    const std::string caption = rom::ReleaseCaption(row());
    const rom::VersionProfile& p = row().tables;
    for (const std::string& line : std::vector<std::string>{
             "Title:             QUILLTST" + std::string(1, static_cast<char>(TestImage::HeaderByte(row().version))) + "\n",
          "Game code:         " + std::string(row().gameCode) + "\n",
          "Market:            " + std::string(row().market) + " (from the game code's last letter)\n",
          "ROM version:       0x0" + std::to_string(row().revision) + "\n",
          "Destination code:  " + std::string(row().market == "Japanese" ? "0x00 (Japan)" : "0x01 (outside Japan)"),
          "right\nVersion:",
          "Layout:            released, " + caption + ": base records " + Hex(p.BaseStatsOffset) + ", menu icons " +
              Hex(p.MenuIconOffset) + ", cries " + Hex(p.CryTableOffset) + ", pointers " +
              Hex(p.EvoMovePointerOffset) + ", egg moves " + Hex(row().eggMovePointerOffset) + "\n",
          // A synthetic image is never the release itself.
          "Released image:    a known release, modified (the header names " + caption + ")\n"}) {
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    }
    EXPECT_EQ(info.out.find("Hint:"), std::string::npos);

    const Outcome json = Quillmere({"info", "--json", image.path()});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json facts = nlohmann::json::parse(json.out);
    EXPECT_EQ(facts["gameCode"], row().gameCode);
    EXPECT_EQ(facts["market"], row().market);
    EXPECT_EQ(facts["layout"], "released");
    EXPECT_EQ(facts["layoutRelease"], caption);
    EXPECT_EQ(facts["tables"]["base"], p.BaseStatsOffset);
    EXPECT_EQ(facts["tables"]["pointers"], p.EvoMovePointerOffset);
    EXPECT_EQ(facts["tables"]["eggs"], row().eggMovePointerOffset);
    EXPECT_TRUE(facts["release"].is_null());
    EXPECT_EQ(facts["knownRelease"], caption);
    EXPECT_EQ(facts["modified"], true);
    EXPECT_TRUE(facts["refusal"].is_null());

    ExpectHpEditLandsAt(image, row().tables);
    const Outcome diff = Quillmere({"diff", image.path(), image.path()});
    EXPECT_EQ(diff.status, 0) << diff.err;
}

TEST_P(ReleaseCli, MovedTablesAreEditedWhereTheGameCodeReadsThem) {
    TestImage image = TestImage::OfRelease(row(), kMovedBy);
    image.SetGameCode("KAPB", 3);  // a game code and revision of no release
    image.MakeComplete();
    const Outcome info = Quillmere({"info", image.path()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Layout:            modified game based on " +
                            std::string(rom::VersionCaption(row().version)) + ": base records " +
                            Hex(Moved().BaseStatsOffset) + ", menu icons " + Hex(Moved().MenuIconOffset)),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("    base records:            " + Hex(Moved().BaseStatsOffset) +
                            ", read by the routine at 0x3E00, records of 32 bytes; numbered 1 to 251\n"),
              std::string::npos)
        << info.out;
    ExpectHpEditLandsAt(image, Moved());

    // The release's own game code: the same, and info says what moved.
    image.SetGameCode(row().gameCode, row().revision);
    image.MakeComplete();
    const Outcome named = Quillmere({"info", image.path()});
    EXPECT_NE(named.out.find("(its game code and revision name " + rom::ReleaseCaption(row()) + ")"),
              std::string::npos)
        << named.out;
    EXPECT_NE(named.out.find("(moved from " + Hex(row().tables.CryTableOffset) + ", where " +
                             rom::ReleaseCaption(row()) + " keeps it)"),
              std::string::npos)
        << named.out;
    const Outcome lines = Quillmere({"info", "--tables", image.path()});
    ASSERT_EQ(lines.status, 0) << lines.err;
    EXPECT_EQ(lines.out, rom::TablesFileText(Moved()) + "eggs = " + Hex(row().eggMovePointerOffset + kMovedBy) + "\n");
}

TEST_P(ReleaseCli, TablesNoRoutineLocatesAreRefusedByEveryCommandUntilATablesFileSaysWhere) {
    const TestImage image = TestImage::OfRelease(row(), kMovedBy, /*withRoutines=*/false);
    const TestImage good = TestImage::OfRelease(row());
    const std::vector<uint8_t> bytes = image.ReadAll();
    WriteFile(InFolder("t.csv"), Quillmere({"export", good.path()}).out);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"export", image.path()},
          std::vector<std::string>{"import", image.path(), InFolder("t.csv")},
          std::vector<std::string>{"diff", good.path(), image.path()},
          std::vector<std::string>{"info", "--tables", image.path()}}) {
        const Outcome run = Quillmere(arguments);
        EXPECT_NE(run.status, 0) << arguments[0];
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find("complete image of " + std::string(rom::VersionCaption(row().version)) +
                               ", but where its tables lie is not proven: the routine through which the game "
                               "reads its base records does not occur in it. If you know where its tables are, a "
                               "file \"image.gbc.tables\" beside it can say so."),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(image.ReadAll(), bytes);

    // info shows the one place where numbered base records stand, and how to
    // write the file; nothing uses that place by itself.
    const Outcome info = Quillmere({"info", image.path()});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("Layout:            unknown: This is a complete image of"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Hint: base records numbered 1 to 251 stand at " + Hex(Moved().BaseStatsOffset) +
                            " in this image, and nowhere else."),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"" + image.tablesPath() + "\""), std::string::npos) << info.out;

    image.WriteTablesFile("# tables moved by 17 bytes\n" + rom::TablesFileText(Moved()));
    const Outcome described = Quillmere({"info", image.path()});
    EXPECT_NE(described.out.find("Layout:            tables file \"" + image.tablesPath() + "\": base records " +
                                 Hex(Moved().BaseStatsOffset) + ", "),
              std::string::npos)
        << described.out;
    EXPECT_EQ(described.out.find("Hint:"), std::string::npos);
    ExpectHpEditLandsAt(image, Moved());
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseCli, testing::Range<size_t>(0, rom::kReleaseLayouts.size()),
                         testsupport::ReleaseParamName);

using clitest::Cli;

TEST_F(Cli, ATablesFileTheImageDisagreesWithIsOneMessageNamingTheLine) {
    const TestImage image = TestImage::OfRelease(*rom::FindReleaseLayout("BYTD", 0));
    image.WriteTablesFile("base = 0x5140E\nicons = 0x8EAC4\ncries = 0xF2787\npointers = 0x425A1\neggs = 0x2000000\n");
    const std::vector<uint8_t> bytes = image.ReadAll();
    const Outcome run = Quillmere({"export", image.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err, "quillmere-cli: \"" + image.path() + "\": Line 5 of \"" + image.tablesPath() +
                           "\": the egg move pointers at 0x2000000 would end at 0x20001F6, past the end of the "
                           "image (0x200000 bytes). Nothing was read or written.\n");
    const Outcome info = Quillmere({"info", "--json", image.path()});
    EXPECT_NE(info.out.find("\"layout\": \"unknown\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"refusal\": \"Line 5 of"), std::string::npos) << info.out;
    EXPECT_EQ(image.ReadAll(), bytes);
}

}  // namespace
