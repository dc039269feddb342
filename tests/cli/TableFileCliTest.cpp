// Table files through quillmere-cli: columns left out, files of another
// table or version, what spreadsheets do to pointers and encodings. Every
// refusal is one clear message and writes nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/Csv.h"
#include "tests/cli/CliProcess.h"
#include "tests/tables/ListImages.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

size_t BytesDiffering(const std::string& a, const std::string& b) {
    size_t count = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) count += a[i] != b[i] ? 1 : 0;
    return count;
}

class TableFileCli : public Cli {
protected:
    TestImage image_ = listtest::ReleaseLikeImage(listtest::SyntheticLists());

    // Imports `text` as `name` and expects a refusal holding `fragment`, on
    // one line of its own, and the image unchanged.
    void ExpectRefused(const std::string& name, const std::string& text, const std::string& fragment,
                       std::vector<std::string> options = {}) {
        const std::string before = ReadFile(image_.path());
        WriteFile(InFolder(name), text);
        std::vector<std::string> arguments{"import", image_.path(), InFolder(name)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const Outcome run = Quillmere(arguments);
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(fragment), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;  // the refusal, then the count
        EXPECT_EQ(run.err.find('\xE9'), std::string::npos) << "raw bytes echoed";
        EXPECT_TRUE(ReadFile(image_.path()) == before) << name;
    }
};

// One column carried alone changes that field only, also after the lists
// were packed again and every pointer moved.
TEST_F(TableFileCli, AFileOfPositionAndOneColumnChangesOnlyThatField) {
    WriteFile(InFolder("moves.csv"), "Position,Level,Move\n0,7,Vine Whip\n");
    ASSERT_EQ(Quillmere({"import", image_.path(), InFolder("moves.csv"), "--table", "moves"}).status, 0);
    const std::string packed = ReadFile(image_.path());

    WriteFile(InFolder("hp.csv"), "Position,HP\n3,77\n");
    const Outcome hp = Quillmere({"import", image_.path(), InFolder("hp.csv")});
    ASSERT_EQ(hp.status, 0) << hp.err;
    EXPECT_EQ(hp.out.rfind("3 Charmander\n  HP: ", 0), 0u) << hp.out;
    EXPECT_NE(hp.out.find(" -> 77\nChanged 1 field of 1 species.\n"), std::string::npos) << hp.out;
    EXPECT_EQ(BytesDiffering(packed, ReadFile(image_.path())), 1u);

    // A machines file of one machine keeps all the others.
    WriteFile(InFolder("tm.json"), "{\"machines\": [{\"Position\": 3, \"TM01\": 1}]}");
    ASSERT_EQ(Quillmere({"import", image_.path(), InFolder("tm.json"), "--table", "machines"}).status, 0);
    EXPECT_LE(BytesDiffering(packed, ReadFile(image_.path())), 2u);
}

TEST_F(TableFileCli, AnotherTablesOrVersionsFileIsSaidOnce) {
    ASSERT_EQ(Quillmere({"export", image_.path(), "--table", "egg-moves", "-o", InFolder("eggs.json")}).status, 0);
    ExpectRefused("eggs2.json", ReadFile(InFolder("eggs.json")),
                  "the file is an egg-moves table (its \"format\" is \"quillmere egg-moves table\"), not a species "
                  "table: import it with --table egg-moves.");
    ExpectRefused("eggs3.json", ReadFile(InFolder("eggs.json")), "not a moves table: import it with --table egg-moves",
                  {"--table", "moves"});
    ExpectRefused("moves.csv", "Position,Species,Level,Move\n0,Bulbasaur,7,Vine Whip\n",
                  "the file's columns (Position, Species, Level, Move) are those of a moves table, not of a species "
                  "table: import it with --table moves.");
    ExpectRefused("hp.csv", "Position;HP\n3;77\n", "are those of a species table", {"--table", "evolutions"});

    ASSERT_EQ(Quillmere({"export", image_.path(), "-o", InFolder("species.json")}).status, 0);
    std::string json = ReadFile(InFolder("species.json"));
    const std::string crystal = "Kreblin Crystal Version";
    json.replace(json.find(crystal), crystal.size(), "Kreblin Gold Version");
    ExpectRefused("gold.json", json,
                  "line 3, column 14 (version): the file was exported from an image of Kreblin Gold Version, and this "
                  "image is Kreblin Crystal Version");

    TestImage gold = listtest::ReleaseLikeImage(listtest::SyntheticLists(), rom::GameVersion::Gold);
    ASSERT_EQ(Quillmere({"export", image_.path(), "--table", "machines", "-o", InFolder("tm.csv")}).status, 0);
    const Outcome tutors = Quillmere({"import", gold.path(), InFolder("tm.csv"), "--table", "machines"});
    EXPECT_EQ(tutors.status, 1);
    EXPECT_NE(tutors.err.find("the file holds the tutor machines MT01 to MT03 of an image of Kreblin Crystal "
                              "Version, and this image is Kreblin Gold Version"),
              std::string::npos)
        << tutors.err;
}

TEST_F(TableFileCli, SpreadsheetDamageAndOtherEncodings) {
    ASSERT_EQ(Quillmere({"export", image_.path(), "-o", InFolder("species.csv")}).status, 0);
    const std::string csv = ReadFile(InFolder("species.csv"));
    const formats::CsvRead read = formats::ReadCsv(csv);
    ASSERT_FALSE(read.error);
    const auto pointer = std::find(read.records[0].fields.begin(), read.records[0].fields.end(), "Pointer") -
                         read.records[0].fields.begin();
    std::string damaged = formats::CsvRecordLine(read.records[0].fields);
    for (size_t r = 1; r < read.records.size(); ++r) {
        std::vector<std::string> fields = read.records[r].fields;
        if (r == 3) fields[static_cast<size_t>(pointer)] = "3E+068";
        damaged += formats::CsvRecordLine(fields);
    }
    ExpectRefused("damaged.csv", damaged, "which is how a spreadsheet program writes back hex text");

    std::string utf16 = "\xFF\xFE";
    for (char c : csv) utf16 += std::string{c, '\0'};
    WriteFile(InFolder("utf16.csv"), utf16);
    const Outcome same = Quillmere({"import", image_.path(), InFolder("utf16.csv")});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "Nothing changed.\n");

    std::string latin = csv;
    latin.replace(latin.find("Venusaur"), 8, "V\xE9nusaur");
    ExpectRefused("latin.csv", latin, "line 4: the file is not UTF-8 text: the byte 0xE9 on this line is not UTF-8");
}

}  // namespace
