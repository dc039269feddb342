// quillmere-cli as its users run it: a separate process with arguments,
// standard output, standard error and an exit status.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "tables/SpeciesRows.h"
#include "tests/cli/CliProcess.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using rom::GameVersion;
using testsupport::TestImage;

TEST_F(Cli, VersionAndHelpOnEveryCommand) {
    const Outcome version = Quillmere({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("quillmere-cli ") + QUILLMERE_VERSION + "\n");
    for (const char* command : {"info", "export", "import", "diff"}) {
        const Outcome help = Quillmere({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(std::string("quillmere-cli ") + command), std::string::npos) << help.out;
    }
    const Outcome none = Quillmere({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_EQ(Quillmere({"info"}).status, 2);
    EXPECT_EQ(Quillmere({"frobnicate"}).status, 2);
}

TEST_F(Cli, InfoAsTextAndAsJson) {
    TestImage image = TestImage::Released(GameVersion::Crystal);
    image.SetBytes(0x134, {'K', 'R', 'E', 'B'});
    const Outcome text = Quillmere({"info", image.path()});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Size:              2097152 bytes"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Title:             KREBA\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Version:           Kreblin Crystal Version\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Layout:            released, Kreblin Crystal Version (America): base records 0x51424, "
                            "menu icons 0x8EAC4, cries 0xF2787, pointers 0x425B1, egg moves 0x23B11\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Header checksum:   0x00, wrong"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Released image:    no"), std::string::npos) << text.out;

    const Outcome json = Quillmere({"info", "--json", image.path()});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json info = nlohmann::json::parse(json.out);
    EXPECT_EQ(info["size"], 2097152);
    EXPECT_EQ(info["title"], "KREBA");  // 0x13C, the version byte, is in the title field
    EXPECT_EQ(info["version"], "Kreblin Crystal Version");
    EXPECT_EQ(info["layout"], "released");
    EXPECT_EQ(info["headerChecksum"]["right"], false);
    EXPECT_TRUE(info["release"].is_null());
    EXPECT_EQ(info["sha1"].get<std::string>().size(), 40u);

    const TestImage unknownVersion(0x4A, 1024);
    const Outcome unknown = Quillmere({"info", unknownVersion.path()});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("Version:           none (not an image of a Kreblin version)\n"), std::string::npos)
        << unknown.out;
    EXPECT_NE(unknown.out.find("Layout:            unknown (no version is recognised)\n"), std::string::npos)
        << unknown.out;
    EXPECT_TRUE(nlohmann::json::parse(Quillmere({"info", "--json", unknownVersion.path()}).out)["version"].is_null());

    const Outcome missing = Quillmere({"info", InFolder("missing.gbc")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("quillmere-cli: Could not read the image"), std::string::npos) << missing.err;
}

// A file of another kind renamed .gbc (here bytes of a zip archive) is said
// to be no image of the game by every command that reads images, once, and
// nothing is written into it.
TEST_F(Cli, AFileOfAnotherKindIsNotAnImageOfAKreblinVersionToEveryCommand) {
    TestImage zip(0x00, 4096);
    for (int64_t at = 0; at < 4096; ++at) zip.SetByte(at, static_cast<uint8_t>(at * 131 + 7));
    zip.SetBytes(0, {'P', 'K', 3, 4});
    zip.SetByte(0x13C, 0x9C);
    const std::vector<uint8_t> bytes = zip.ReadAll();
    WriteFile(InFolder("t.csv"), "Position,HP\n0,1\n");
    const std::string said = "quillmere-cli: \"" + zip.path() + "\" is not an image of a Kreblin version: its header "
                             "names none of the three (the byte at 0x13C is 0x9C";
    for (const auto& [arguments, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"info", zip.path()}, 1},
             {{"export", zip.path()}, 1},
             {{"export", zip.path(), "--table", "moves"}, 1},
             {{"import", zip.path(), InFolder("t.csv")}, 1},
             {{"diff", zip.path(), zip.path()}, 2},
             {{"checksum", zip.path(), "--fix"}, 2}}) {
        const Outcome run = Quillmere(arguments);
        EXPECT_EQ(run.status, status) << arguments[0];
        EXPECT_EQ(run.err.find(said), 0u) << run.err;
        EXPECT_EQ(run.err.find("quillmere-cli:", 1), std::string::npos) << "one message: " << run.err;
    }
    EXPECT_TRUE(zip.ReadAll() == bytes);
}

TEST_F(Cli, ExportToStandardOutputOrAFile) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Gold);
    const Outcome csv = Quillmere({"export", image.path()});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_TRUE(csv.err.empty());
    EXPECT_EQ(csv.out.substr(0, 24), "Position,Species,Name,HP");
    EXPECT_TRUE(tables::ReadCsvTable(csv.out).ok());

    EXPECT_EQ(Quillmere({"export", image.path(), "-o", InFolder("table.csv")}).status, 0);
    EXPECT_EQ(ReadFile(InFolder("table.csv")), csv.out);
    // The format follows the output's extension unless --format says otherwise.
    EXPECT_EQ(Quillmere({"export", image.path(), "-o", InFolder("table.json")}).status, 0);
    EXPECT_EQ(ReadFile(InFolder("table.json")), Quillmere({"export", image.path(), "--format", "json"}).out);
    EXPECT_EQ(Quillmere({"export", image.path(), "--format", "csv", "-o", InFolder("t.json")}).status, 0);
    EXPECT_EQ(ReadFile(InFolder("t.json")), csv.out);

    const Outcome badFormat = Quillmere({"export", image.path(), "--format", "xml", "-o", InFolder("x.xml")});
    EXPECT_EQ(badFormat.status, 2);
    EXPECT_FALSE(std::filesystem::exists(InFolder("x.xml")));
    // Never over the image itself.
    const std::vector<uint8_t> bytes = image.ReadAll();
    const Outcome overImage = Quillmere({"export", image.path(), "-o", image.path()});
    EXPECT_EQ(overImage.status, 2);
    EXPECT_NE(overImage.err.find("is the image itself"), std::string::npos) << overImage.err;
    EXPECT_EQ(image.ReadAll(), bytes);
    // A failed export leaves an existing output file as it was.
    WriteFile(InFolder("kept.csv"), "old");
    EXPECT_EQ(Quillmere({"export", InFolder("missing.gbc"), "-o", InFolder("kept.csv")}).status, 1);
    EXPECT_EQ(ReadFile(InFolder("kept.csv")), "old");
}

TEST_F(Cli, ImportOfAnEditedExportThenDiff) {
    const TestImage a = tablestest::PatternedImage(GameVersion::Crystal);
    TestImage b = tablestest::PatternedImage(GameVersion::Crystal, 50);
    // The same evolution/move pointers: a species table carried whole to
    // another image may not point them elsewhere.
    const int64_t pointers = rom::ReleasedProfile(GameVersion::Crystal).EvoMovePointerOffset;
    const std::vector<uint8_t> aBytes = a.ReadAll();
    b.SetBytes(pointers, std::span<const uint8_t>(aBytes).subspan(static_cast<size_t>(pointers), 502));
    const std::string table = InFolder("a.json");
    ASSERT_EQ(Quillmere({"export", a.path(), "-o", table}).status, 0);

    const Outcome differ = Quillmere({"diff", a.path(), b.path()});
    EXPECT_EQ(differ.status, 1) << differ.err;
    EXPECT_EQ(differ.out.substr(0, 12), "0 Bulbasaur\n");

    // A dry run shows the changes and writes nothing.
    const std::vector<uint8_t> before = b.ReadAll();
    const Outcome dry = Quillmere({"import", b.path(), table, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("Would change "), std::string::npos);
    EXPECT_NE(dry.out.find("Dry run: nothing was written.\n"), std::string::npos);
    EXPECT_EQ(b.ReadAll(), before);
    // The import prints what the dry run printed, and the images agree after it.
    const Outcome imported = Quillmere({"import", b.path(), table});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out.substr(0, imported.out.find("Changed ")), dry.out.substr(0, dry.out.find("Would change ")));
    // The 23 fields agree now; the lists behind them were never imported.
    const Outcome same = Quillmere({"diff", a.path(), b.path(), "--table", "species"});
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(same.out.empty());

    // Imported again, it changes nothing and leaves the file untouched.
    std::filesystem::last_write_time(b.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(3));
    const auto time = std::filesystem::last_write_time(b.path());
    const Outcome again = Quillmere({"import", b.path(), table});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "Nothing changed.\n");
    EXPECT_EQ(std::filesystem::last_write_time(b.path()), time);
}

// Output that cannot be written is a failure by each command's own exit
// convention: 2 for diff and checksum (whose 1 says "some differ", "one is
// wrong"), 1 for the others.
TEST_F(Cli, OutputThatCannotBeWrittenFailsByEachCommandsConvention) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const TestImage a = tablestest::PatternedImage(GameVersion::Crystal);
    const TestImage b = tablestest::PatternedImage(GameVersion::Crystal, 50);
    ASSERT_EQ(Quillmere({"diff", a.path(), b.path()}).status, 1);
    ASSERT_EQ(Quillmere({"diff", a.path(), a.path()}).status, 0);
    const Outcome differ = Quillmere({"diff", a.path(), b.path()}, "/dev/full");
    EXPECT_EQ(differ.status, 2) << differ.err;
    EXPECT_NE(differ.err.find("Could not write to standard output"), std::string::npos) << differ.err;
    EXPECT_EQ(Quillmere({"diff", a.path(), a.path()}, "/dev/full").status, 0);  // wrote nothing

    TestImage image(0x41, 64 * 1024);
    image.FillWithPattern();
    image.SetBytes(0x14D, {0x00, 0x00, 0x00});
    ASSERT_EQ(Quillmere({"checksum", image.path()}).status, 1);
    EXPECT_EQ(Quillmere({"checksum", image.path()}, "/dev/full").status, 2);
    ASSERT_EQ(Quillmere({"checksum", image.path(), "--fix"}).status, 0);
    EXPECT_EQ(Quillmere({"checksum", image.path()}, "/dev/full").status, 2);

    EXPECT_EQ(Quillmere({"info", a.path()}, "/dev/full").status, 1);
    EXPECT_EQ(Quillmere({"export", a.path()}, "/dev/full").status, 1);
    const std::string table = InFolder("b.csv");
    ASSERT_EQ(Quillmere({"export", b.path(), "-o", table}).status, 0);
    EXPECT_EQ(Quillmere({"import", a.path(), table, "--dry-run"}, "/dev/full").status, 1);
    // A usage error stays one.
    EXPECT_EQ(Quillmere({"import", a.path(), table, "--format", "xml"}, "/dev/full").status, 2);
}

TEST_F(Cli, ARefusedImportListsEveryRefusalAndWritesNothing) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Silver);
    std::string csv = Quillmere({"export", image.path()}).out;
    // HP of species 0 and Type1 of species 1 become bad; the rest changes too.
    // (The Name cells are empty: the image's names are not known.)
    const size_t row1 = csv.find("\r\n0,Bulbasaur,,") + 15;
    csv.replace(row1, csv.find(',', row1) - row1, "256");
    const size_t row2 = csv.find("\r\n1,Ivysaur,") + 12;
    size_t type1 = row2;
    for (int i = 0; i < 7; ++i) type1 = csv.find(',', type1) + 1;
    csv.replace(type1, csv.find(',', type1) - type1, "Nonsense");
    csv.replace(csv.find("\r\n2,Venusaur,"), 13, "\r\n3,Charmander,");  // a second position 3 (line 4)
    WriteFile(InFolder("bad.csv"), csv);

    const std::vector<uint8_t> bytes = image.ReadAll();
    const Outcome run = Quillmere({"import", image.path(), InFolder("bad.csv")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("bad.csv: line 2, column 4 (HP): HP must be a whole number from 0 to 255; it holds \"256\"."),
              std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.csv: line 3, column 10 (Type1): Type1 must be"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.csv: line 5, column 1 (Position): Position 3 (Charmander) is given again; line 4"),
              std::string::npos) << run.err;
    EXPECT_NE(run.err.find("3 values or rows were refused"), std::string::npos) << run.err;
    EXPECT_EQ(image.ReadAll(), bytes);

    const Outcome noFormat = Quillmere({"import", image.path(), InFolder("stdout")});
    EXPECT_EQ(noFormat.status, 2);
    EXPECT_NE(noFormat.err.find("--format"), std::string::npos);
}

// A hostile table file is refused with a bounded list that says how many
// refusals it leaves out.
TEST_F(Cli, AHostileTableGivesABoundedListOfRefusals) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Gold);
    const std::vector<uint8_t> bytes = image.ReadAll();
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };

    WriteFile(InFolder("commas.csv"), std::string(1 << 20, ','));
    const Outcome commas = Quillmere({"import", image.path(), InFolder("commas.csv")});
    EXPECT_EQ(commas.status, 1);
    EXPECT_EQ(lines(commas.err), 2) << commas.err.substr(0, 2000);
    EXPECT_NE(commas.err.find("line 1, column 101: the header row has more than 100 fields"), std::string::npos)
        << commas.err;

    std::string empties = "{\"species\":[{}";
    while (empties.size() < (1u << 20)) empties += ",{}";
    WriteFile(InFolder("empties.json"), empties + "]}");
    const Outcome rows = Quillmere({"import", image.path(), InFolder("empties.json")});
    EXPECT_EQ(rows.status, 1);
    EXPECT_EQ(lines(rows.err), 102) << rows.err.substr(0, 2000);
    EXPECT_NE(rows.err.find("the file holds more rows than a table can"), std::string::npos);
    EXPECT_NE(rows.err.find("empties.json: ... and 901 more refusals (only the first 100 are listed).\n"),
              std::string::npos);
    EXPECT_NE(rows.err.find("1001 values or rows were refused"), std::string::npos);
    EXPECT_EQ(image.ReadAll(), bytes);
}

TEST_F(Cli, UnknownLayoutsAndVersionsAreRefusedWithOneMessage) {
    TestImage unknown(TestImage::HeaderByte(GameVersion::Gold));
    unknown.MakeComplete();
    const TestImage noVersion(0x12);
    const TestImage good = tablestest::PatternedImage(GameVersion::Gold);
    WriteFile(InFolder("t.csv"), Quillmere({"export", good.path()}).out);
    for (const TestImage* image : {static_cast<const TestImage*>(&unknown), &noVersion}) {
        const std::vector<uint8_t> bytes = image->ReadAll();
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"export", image->path()},
              std::vector<std::string>{"import", image->path(), InFolder("t.csv")}}) {
            const Outcome run = Quillmere(arguments);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.out.empty());
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        const Outcome diff = Quillmere({"diff", good.path(), image->path()});
        EXPECT_EQ(diff.status, 2);
        EXPECT_EQ(image->ReadAll(), bytes);
    }
    EXPECT_EQ(Quillmere({"diff", good.path(), InFolder("missing.gbc")}).status, 2);
}

}  // namespace
