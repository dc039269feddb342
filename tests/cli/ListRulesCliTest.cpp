// The room of the list areas and the rules of list table files, through
// quillmere-cli: info and every dry run say how many bytes are free and what
// an import would leave, on an image whose lists leave only 6 bytes free (as
// the Japanese releases do); a file with rows for most species is the whole
// table, so a species without rows is refused; a Species cell must not name
// another species than its Position; a list table given without --table is
// named.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "tests/cli/CliProcess.h"
#include "tests/tables/ListImages.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

constexpr int64_t kFree = 6;

// The Japanese Gold row, with the test's lists grown until the evolutions and
// level-up moves leave exactly kFree bytes of their bank.
class ListRules : public Cli {
protected:
    void SetUp() override {
        const int64_t pointers = row_.tables.EvoMovePointerOffset;
        area_ = listtest::BankEnd(pointers) - (pointers + tables::kPointerTableLength);
        int64_t packed = 0;
        for (const auto& list : lists_.evoMoves) packed += int64_t(listtest::EvoMoveListBytes(list).size());
        int64_t over = area_ - packed - kFree;
        if (over % 2 != 0) {  // species 4 has no evolution: a level evolution is 3 bytes
            lists_.evoMoves[4].evolutions.push_back({tables::EvolutionMethod::Level, 30, 0, 0, 0, 6});
            over -= 3;
        }
        for (size_t p = 100; over > 0; p = p == 250 ? 100 : p + 1) {  // level-100 moves keep the levels rising
            lists_.evoMoves[p].moves.push_back({100, uint8_t(p % 250 + 1)});
            over -= 2;
        }
        std::vector<uint8_t> bytes = listtest::ReleaseLikeBytes(lists_, row_);
        image_ = TestImage(TestImage::HeaderByte(row_.version), int64_t(bytes.size()));
        image_.SetBytes(0, bytes);
        image_.MakeComplete();
        before_ = image_.ReadAll();
    }

    Outcome Import(const std::string& name, const std::string& text, std::vector<std::string> options) {
        WriteFile(InFolder(name), text);
        std::vector<std::string> arguments{"import", image_.path(), InFolder(name)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return Quillmere(arguments);
    }

    std::string Export(const std::string& table, const std::string& format = "csv") {
        const Outcome run = Quillmere({"export", image_.path(), "--table", table, "--format", format});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }

    // The export without the lines of species `position`.
    static std::string Without(const std::string& csv, int position) {
        std::string kept;
        const std::string lead = std::to_string(position) + ",";
        for (size_t at = 0; at < csv.size();) {
            const size_t end = csv.find("\r\n", at) + 2;
            if (csv.compare(at, lead.size(), lead) != 0) kept += csv.substr(at, end - at);
            at = end;
        }
        return kept;
    }

    const rom::ReleaseLayout& row_ = *rom::FindReleaseLayout("AAUJ", 0);
    listtest::Lists lists_ = listtest::SyntheticLists();
    int64_t area_ = 0;
    TestImage image_{0x00, 0};
    std::vector<uint8_t> before_;
};

TEST_F(ListRules, InfoAndEveryDryRunSayTheRoomAndWhatTheImportLeaves) {
    const std::string room = "evolutions and level-up moves: 6 bytes free of " + std::to_string(area_);
    const Outcome info = Quillmere({"info", image_.path()});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("List room:         " + room + "; egg moves: "), std::string::npos) << info.out;
    const nlohmann::json json = nlohmann::json::parse(Quillmere({"info", "--json", image_.path()}).out);
    EXPECT_EQ(json["listRoom"]["evoMoves"], (nlohmann::json{{"area", area_}, {"free", kFree}, {"grows", true}}));
    EXPECT_TRUE(json["listRoom"]["eggMoves"]["free"].is_number());

    // One more move takes 2 of the 6 bytes; four more do not fit.
    const std::string one = "Position,Level,Move\n0,1,Tackle\n";
    const Outcome dry = Import("one.csv", one, {"--table", "moves", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("Room for " + room + "; the import would leave 4 bytes free.\nDry run: nothing was "
                           "written.\n"),
              std::string::npos)
        << dry.out;
    const Outcome eggs = Import("egg.csv", "Position,Move\n0,Tackle\n", {"--table", "egg-moves", "--dry-run"});
    EXPECT_NE(eggs.out.find("Room for egg moves: "), std::string::npos) << eggs.out;
    EXPECT_EQ(eggs.out.find("Room for evolutions"), std::string::npos) << eggs.out;
    const Outcome four = Import("four.csv", "Position,Level,Move\n0,1,Tackle\n0,2,Growl\n0,3,Vine Whip\n0,4,Leer\n",
                                {"--table", "moves", "--dry-run"});
    EXPECT_EQ(four.status, 1);
    EXPECT_NE(four.err.find("2 more than the " + std::to_string(area_) + " bytes"), std::string::npos) << four.err;

    // A workbook's dry run says both areas; unchanged, each keeps its room.
    ASSERT_EQ(Quillmere({"export", image_.path(), "-o", InFolder("all.xlsx")}).status, 0);
    const Outcome book = Quillmere({"import", image_.path(), InFolder("all.xlsx"), "--dry-run"});
    EXPECT_EQ(book.status, 0) << book.err;
    EXPECT_NE(book.out.find("Nothing changed.\nRoom for " + room + "; the import would leave 6 bytes free.\nRoom "
                            "for egg moves: "),
              std::string::npos)
        << book.out;
    EXPECT_TRUE(image_.ReadAll() == before_);
}

// Exported and imported unchanged in every format, every table writes
// nothing: no rule refuses what an export holds.
TEST_F(ListRules, EveryTableImportsUnchangedInEveryFormat) {
    for (const std::string table : {"species", "machines", "evolutions", "moves", "egg-moves"}) {
        for (const std::string format : {"csv", "json"}) {
            const Outcome run = Import("same." + format, Export(table, format), {"--table", table});
            EXPECT_EQ(run.status, 0) << table << " " << format << ": " << run.err;
            EXPECT_EQ(run.out, "Nothing changed.\n") << table << " " << format;
        }
    }
    EXPECT_TRUE(image_.ReadAll() == before_);
}

// A species whose rows are all deleted from a whole table is refused in one
// message, in CSV and JSON alike; a row with only its Position empties the
// list; deleting one of several rows removes that one; a file of a few
// species changes only those.
TEST_F(ListRules, ASpeciesWithoutRowsInAWholeTableIsRefused) {
    const std::string moves = Export("moves");
    const Outcome missing = Import("missing.csv", Without(Without(moves, 4), 7), {"--table", "moves"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(": no rows for 4 Charmeleon, 7 Wartortle. The file has rows for 249 of the 251 "
                               "species, so it is the whole moves table"),
              std::string::npos)
        << missing.err;
    EXPECT_NE(missing.err.find("1 value or row was refused"), std::string::npos) << missing.err;

    nlohmann::json eggs = nlohmann::json::parse(Export("egg-moves", "json"));
    auto& rows = eggs["egg-moves"];
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const auto& r) { return r["Position"] == 1; }), rows.end());
    const Outcome json = Import("eggs.json", eggs.dump(), {"--table", "egg-moves"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.err.find("no rows for 1 Ivysaur."), std::string::npos) << json.err;

    const Outcome machines = Import("machines.csv", Without(Export("machines"), 250), {"--table", "machines"});
    EXPECT_EQ(machines.status, 1);
    EXPECT_NE(machines.err.find("no rows for 250 Celebi."), std::string::npos) << machines.err;
    EXPECT_TRUE(image_.ReadAll() == before_);

    // Species 4 has four moves: one row of its Position alone empties them;
    // species 3's three rows lose one.
    std::string emptied = Without(moves, 4);
    emptied.insert(emptied.find("\r\n5,") + 2, "4,,,\r\n");
    const size_t third = emptied.find("\r\n3,");
    emptied.erase(third + 2, emptied.find("\r\n", third + 2) - third);
    const Outcome run = Import("emptied.csv", emptied, {"--table", "moves", "--dry-run"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Would change the level-up moves of 2 species"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("3 Charmander\n  Moves: \u22121 Vine Whip\n4 Charmeleon\n  Moves: \u22121 Headbutt, "),
              std::string::npos)
        << run.out;
    // A few species: the others keep their lists.
    EXPECT_EQ(Import("few.csv", "Position,Level,Move\n4,1,Tackle\n", {"--table", "moves", "--dry-run"}).status, 0);
}

// Species names the row for people: a cell naming another species than the
// row's Position is refused naming both, in the species and the list tables;
// an empty cell, or a file without the column, is taken.
TEST_F(ListRules, ASpeciesCellNamingAnotherSpeciesIsRefused) {
    std::string moves = Export("moves");
    const size_t row = moves.find("\r\n24,Pikachu,") + 2;
    moves.replace(row, 11, "24,Raichu,");
    const Outcome swapped = Import("swapped.csv", moves, {"--table", "moves"});
    EXPECT_EQ(swapped.status, 1);
    EXPECT_NE(swapped.err.find("(Species): Species names 25 Raichu, but Position 24 is Pikachu."), std::string::npos)
        << swapped.err;
    EXPECT_EQ(swapped.err.find("no rows for"), std::string::npos) << swapped.err;

    const Outcome species = Import("species.csv", "Position,Species,HP\n24,raichu,77\n", {});
    EXPECT_EQ(species.status, 1);
    EXPECT_NE(species.err.find("line 2, column 2 (Species): Species names 25 Raichu, but Position 24 is Pikachu."),
              std::string::npos)
        << species.err;
    EXPECT_TRUE(image_.ReadAll() == before_);
    EXPECT_EQ(Import("named.csv", "Position,Species,HP\n24,pikachu,77\n25,,77\n", {"--dry-run"}).status, 0);
    EXPECT_EQ(Import("bare.csv", "Position,HP\n24,77\n", {"--dry-run"}).status, 0);
}

// A list table given as the species table is named, also when it holds more
// rows than a species table may (a moves table of the releases has over 1000)
// and when a JSON file without "format" holds another table's array.
TEST_F(ListRules, AListTableWithoutTableIsToldWhichTableItIs) {
    const std::string moves = Export("moves");
    ASSERT_GT(std::count(moves.begin(), moves.end(), '\n'), 1001);
    const Outcome csv = Import("moves.csv", moves, {});
    EXPECT_EQ(csv.status, 1);
    EXPECT_NE(csv.err.find("line 1: the file's columns (Position, Species, Level, Move) are those of a moves table, "
                           "not of a species table: import it with --table moves."),
              std::string::npos)
        << csv.err;
    nlohmann::json json = nlohmann::json::parse(Export("evolutions", "json"));
    json.erase("format");
    const Outcome bare = Import("evolutions.json", json.dump(), {});
    EXPECT_NE(bare.err.find("the file holds a \"evolutions\" array of rows: it is an evolutions table, not a species "
                            "table: import it with --table evolutions."),
              std::string::npos)
        << bare.err;
}

}  // namespace

namespace {

// The CSV files carry codes; export's help says what they mean.
TEST_F(Cli, ExportHelpSaysWhatTheCodedColumnsMean) {
    const Outcome help = Quillmere({"export", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"Growth: Growth rate, the experience curve: 0 Medium Fast,", "31 1 in 8 female",
                             "17 is Monster and Grass", "TM01 Dynamicpunch", "HM07 Waterfall", "RATE: ", "Cycles: "}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
}

}  // namespace
