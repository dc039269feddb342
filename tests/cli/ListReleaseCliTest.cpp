// The four list tables through quillmere-cli on every release layout and on
// a modified game whose tables a ".tables" file places: what is exported is
// what the image holds, and an import changes the lists it packs, their
// pointers and nothing else. The expected image after an import is laid out
// by the test's own code (tests/tables/ListImages.h), never by the program's.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "lists/Moves.h"
#include "rom/ReleaseLayouts.h"
#include "rom/TablesFile.h"
#include "tables/FieldText.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/TableRoutines.h"
#include "tests/tables/ListImages.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

constexpr const char* kListTables[] = {"machines", "evolutions", "moves", "egg-moves"};

// The bytes of an image laid out like `row` with the lists, machine bytes
// that differ from species to species (the same on every row, so that exports
// of rows of one version can be compared), the rest the test pattern.
std::vector<uint8_t> ListImageBytes(const rom::ReleaseLayout& row, const listtest::Lists& made) {
    std::vector<uint8_t> bytes = listtest::ReleaseLikeBytes(made, row);
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        for (int k = 0; k < tables::kMachineBytes; ++k) {
            bytes[static_cast<size_t>(row.tables.BaseStatsOffset + 32 * p + tables::kMachineBytesOffset + k)] =
                static_cast<uint8_t>(p * 37 + k * 11 + 5);
        }
    }
    return bytes;
}

// The image file of those bytes, complete (ROM-size byte and header checksum).
TestImage ImageFile(const rom::ReleaseLayout& row, const std::vector<uint8_t>& bytes) {
    TestImage file(TestImage::HeaderByte(row.version), static_cast<int64_t>(bytes.size()));
    file.SetBytes(0, bytes);
    file.MakeComplete();
    return file;
}

// `image` with the evolution/move lists laid again by the test's own code.
std::vector<uint8_t> WithEvoMoveLists(std::vector<uint8_t> image, int64_t table, const listtest::Lists& made) {
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> lists;
    for (size_t p = 0; p < lists.size(); ++p) lists[p] = listtest::EvoMoveListBytes(made.evoMoves[p]);
    listtest::LayLists(image, table, lists, false);
    return image;
}

// `image` with the egg move lists laid again by the test's own code, as the
// releases lay them.
std::vector<uint8_t> WithEggMoveLists(std::vector<uint8_t> image, int64_t table, const listtest::Lists& made) {
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> lists;
    for (size_t p = 0; p < lists.size(); ++p) {
        lists[p] = made.eggMoves[p];
        lists[p].push_back(tables::kEggListEnd);
    }
    listtest::LayLists(image, table, lists, true);
    return image;
}

// The moves table as an export writes it, from the test's lists: one row per
// level-up move, one row of empty cells for a species without any.
std::string ExpectedMovesCsv(const listtest::Lists& made) {
    std::string text = "Position,Species,Level,Move\r\n";
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        const std::string lead = std::to_string(p) + "," + std::string(tables::SpeciesName(p)) + ",";
        const auto& moves = made.evoMoves[static_cast<size_t>(p)].moves;
        if (moves.empty()) text += lead + ",\r\n";
        for (const tables::LevelMove& m : moves) {
            text += lead + std::to_string(m.level) + "," + std::string(lists::kMoveList[m.move]) + "\r\n";
        }
    }
    return text;
}

std::string ExpectedEggMovesCsv(const listtest::Lists& made) {
    std::string text = "Position,Species,Move\r\n";
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        const std::string lead = std::to_string(p) + "," + std::string(tables::SpeciesName(p)) + ",";
        const auto& moves = made.eggMoves[static_cast<size_t>(p)];
        if (moves.empty()) text += lead + "\r\n";
        for (const uint8_t move : moves) text += lead + std::string(lists::kMoveList[move]) + "\r\n";
    }
    return text;
}

// Bulbasaur (no level-up moves in the test's lists) learns three.
constexpr const char* kGrownMoves = "Position,Species,Level,Move\n0,,1,Tackle\n0,,7,Vine Whip\n0,,20,Sleep Powder\n";

listtest::Lists GrownLists(listtest::Lists made) {
    made.evoMoves[0].moves = {{1, 33}, {7, 22}, {20, 79}};
    return made;
}

class ListReleaseCli : public Cli {};

// Every release row: each table exported as the image holds it, and an import
// that grows a list packs the table again inside its bank; the image is then
// byte for byte the one laid out by hand with the grown list.
TEST_F(ListReleaseCli, EveryReleaseExportsItsListsAndPacksAGrownListInsideItsBank) {
    const listtest::Lists lists = listtest::SyntheticLists();
    const std::string expectedMoves = ExpectedMovesCsv(lists);
    const std::string expectedEggs = ExpectedEggMovesCsv(lists);
    // Exports of the first row of each version (and of the evolutions of the
    // first row of all) that the other rows must equal.
    std::map<rom::GameVersion, std::string> machinesOfVersion;
    std::string evolutions;
    const std::string grown = InFolder("grown.csv");
    WriteFile(grown, kGrownMoves);
    for (const rom::ReleaseLayout& row : rom::kReleaseLayouts) {
        SCOPED_TRACE(rom::ReleaseCaption(row));
        const TestImage image = ImageFile(row, ListImageBytes(row, lists));
        const std::vector<uint8_t> before = image.ReadAll();
        std::map<std::string, std::string> exported;
        for (const char* table : kListTables) {
            const Outcome run = Quillmere({"export", image.path(), "--table", table});
            ASSERT_EQ(run.status, 0) << table << ": " << run.err;
            exported[table] = run.out;
        }
        EXPECT_EQ(exported["moves"], expectedMoves);
        EXPECT_EQ(exported["egg-moves"], expectedEggs);
        if (evolutions.empty()) evolutions = exported["evolutions"];
        EXPECT_EQ(exported["evolutions"], evolutions);
        const auto first = machinesOfVersion.emplace(row.version, exported["machines"]).first;
        EXPECT_EQ(exported["machines"], first->second);
        // Bulbasaur's first machine byte is 5: TM01 and TM03, not TM02.
        EXPECT_NE(exported["machines"].find("\r\n0,Bulbasaur,1,0,1,"), std::string::npos);
        // Each of the five tables, imported as exported, changes nothing:
        // no rule refuses what the image holds (species 88's levels fall).
        const Outcome species = Quillmere({"export", image.path()});
        ASSERT_EQ(species.status, 0) << species.err;
        exported["species"] = species.out;
        for (const auto& [table, text] : exported) {
            WriteFile(InFolder("same.csv"), text);
            const Outcome same = Quillmere({"import", image.path(), InFolder("same.csv"), "--table", table});
            EXPECT_EQ(same.status, 0) << table << ": " << same.err;
            EXPECT_EQ(same.out + same.err, "Nothing changed.\n") << table;
        }
        EXPECT_TRUE(image.ReadAll() == before);

        const Outcome run = Quillmere({"import", image.path(), grown, "--table", "moves"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("Changed the level-up moves of 1 species"), std::string::npos) << run.out;
        const std::vector<uint8_t> expected =
            WithEvoMoveLists(before, row.tables.EvoMovePointerOffset, GrownLists(lists));
        ASSERT_TRUE(expected != before);
        EXPECT_TRUE(image.ReadAll() == expected) << "bytes other than the lists and their pointers changed";

        // Species 3 had no egg moves: its new list is packed in species
        // order, and the shared empty list stays after the last list.
        const std::string egg = InFolder("egg.csv");
        WriteFile(egg, "Position,Species,Move\n3,,Curse\n");
        ASSERT_EQ(Quillmere({"import", image.path(), egg, "--table", "egg-moves"}).status, 0);
        listtest::Lists eggGrown = GrownLists(lists);
        eggGrown.eggMoves[3] = {174};
        EXPECT_TRUE(image.ReadAll() == WithEggMoveLists(expected, row.eggMovePointerOffset, eggGrown))
            << "egg move lists not laid out as the releases lay them";
    }
    // Crystal's machines have three more columns than Gold's and Silver's.
    ASSERT_EQ(machinesOfVersion.size(), 3u);
    EXPECT_NE(machinesOfVersion[rom::GameVersion::Crystal].find(",MT03\r\n"), std::string::npos);
    EXPECT_NE(machinesOfVersion[rom::GameVersion::Gold].find(",HM07\r\n"), std::string::npos);
}

// The line of species `position` in a species table CSV (no quoted cells),
// and where its cell `column` (counted from 0) starts and ends.
struct CsvCellPlace {
    std::string line;
    size_t begin = 0;
    size_t end = 0;
};
CsvCellPlace FindCsvCell(const std::string& csv, int position, size_t column) {
    const size_t start = csv.find("\r\n" + std::to_string(position) + ",") + 2;
    CsvCellPlace place{csv.substr(start, csv.find("\r\n", start) - start)};
    for (size_t k = 0; k < column; ++k) place.begin = place.line.find(',', place.begin) + 1;
    place.end = place.line.find(',', place.begin);
    return place;
}
std::string CsvCell(const std::string& csv, int position, size_t column) {
    const CsvCellPlace place = FindCsvCell(csv, position, column);
    return place.line.substr(place.begin, place.end - place.begin);
}
// That line with the cell set to `value`.
std::string CsvLineWith(const std::string& csv, int position, size_t column, const std::string& value) {
    const CsvCellPlace place = FindCsvCell(csv, position, column);
    return place.line.substr(0, place.begin) + value + place.line.substr(place.end);
}

// The species table's Pointer column and the lists reach the same pointers:
// a species table exported before the lists were packed again, or from
// another release, must not undo them. Each stale pointer is refused on its
// own line and nothing is written; a pointer at another species' list start
// is taken.
TEST_F(ListReleaseCli, ASpeciesTableMayChangeAPointerOnlyToTheStartOfAList) {
    const listtest::Lists lists = listtest::SyntheticLists();
    const TestImage image = ImageFile(*rom::FindReleaseLayout("BYTE", 0), ListImageBytes(*rom::FindReleaseLayout("BYTE", 0), lists));
    const TestImage french = ImageFile(*rom::FindReleaseLayout("BYTF", 0), ListImageBytes(*rom::FindReleaseLayout("BYTF", 0), lists));
    const std::string old = InFolder("old.csv");
    ASSERT_EQ(Quillmere({"export", image.path(), "-o", old}).status, 0);
    const std::string exported = ReadFile(old);
    const std::string header = exported.substr(0, exported.find("\r\n") + 2);
    const size_t pointerColumn = 20;
    ASSERT_EQ(header.substr(header.find("Sprite,") + 7, 8), "Pointer,");

    // Species 0 learns three moves: the table is packed again and the
    // pointers of species 1 to 250 move 6 bytes on.
    const std::string grown = InFolder("grown.csv");
    WriteFile(grown, kGrownMoves);
    ASSERT_EQ(Quillmere({"import", image.path(), grown, "--table", "moves"}).status, 0);
    const std::vector<uint8_t> packed = image.ReadAll();

    const auto refused = [&](const std::string& name, const std::string& csv, const std::string& count) {
        SCOPED_TRACE(name);
        WriteFile(InFolder(name), csv);
        const Outcome run = Quillmere({"import", image.path(), InFolder(name)});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find(count + " refused in"), std::string::npos) << run.err;
        EXPECT_TRUE(image.ReadAll() == packed) << "written";
        return run.err;
    };
    // The whole old file with one HP changed, and its one row alone.
    std::string edited = exported;
    const std::string row5 = CsvLineWith(exported, 5, 3, "77");
    edited.replace(exported.find("\r\n5,") + 2, FindCsvCell(exported, 5, 0).line.size(), row5);
    const std::string whole = refused("whole.csv", edited, "values or rows were");
    EXPECT_NE(whole.find("line 3 (Pointer): the Pointer of 1 Ivysaur changes to"), std::string::npos) << whole;
    EXPECT_NE(whole.find("into the middle of the list of 0 Bulbasaur"), std::string::npos) << whole;
    EXPECT_NE(whole.find("exported before the lists were packed again, or from another image: export the species "
                         "table again, or leave the Pointer column out."),
              std::string::npos);
    refused("one-row.csv", header + row5 + "\r\n", "1 value or row was");

    // The remedy: the same edit without the Pointer column lands.
    WriteFile(InFolder("hp.csv"), "Position,HP\n5,77\n");
    const Outcome hp = Quillmere({"import", image.path(), InFolder("hp.csv"), "--dry-run"});
    EXPECT_EQ(hp.status, 0) << hp.err;
    EXPECT_NE(hp.out.find("Would change 1 field of 1 species."), std::string::npos) << hp.out;

    // A species table of another release, exported from the French image.
    const Outcome frenchExport = Quillmere({"export", french.path()});
    ASSERT_EQ(frenchExport.status, 0);
    EXPECT_EQ(Quillmere({"import", french.path(), grown, "--table", "moves"}).status, 0);
    const std::string other = refused("french.csv", frenchExport.out, "values or rows were");
    EXPECT_NE(other.find("line 3 (Pointer): the Pointer of 1 Ivysaur changes to"), std::string::npos) << other;

    // Exported again, the same edit lands; Ivysaur may share Bulbasaur's list.
    ASSERT_EQ(Quillmere({"export", image.path(), "-o", old}).status, 0);
    const std::string fresh = ReadFile(old);
    const std::string text = header + CsvLineWith(fresh, 5, 3, "77") + "\r\n" +
                             CsvLineWith(fresh, 1, pointerColumn, CsvCell(fresh, 0, pointerColumn)) + "\r\n";
    WriteFile(InFolder("fresh.csv"), text);
    const Outcome landed = Quillmere({"import", image.path(), InFolder("fresh.csv")});
    ASSERT_EQ(landed.status, 0) << landed.err;
    EXPECT_NE(landed.out.find("Changed 2 fields of 2 species."), std::string::npos) << landed.out;
}

// Gold and Silver have no tutor machines: a diff against Crystal counts the
// Crystal species that can learn one, on one line, and so differs.
TEST_F(ListReleaseCli, DiffAgainstCrystalCountsTheTutorMachines) {
    const listtest::Lists lists = listtest::SyntheticLists();
    const rom::ReleaseLayout& goldRow = *rom::FindReleaseLayout("AAUE", 0);
    const rom::ReleaseLayout& crystalRow = *rom::FindReleaseLayout("BYTE", 0);
    const TestImage gold = ImageFile(goldRow, ListImageBytes(goldRow, lists));
    const TestImage crystal = ImageFile(crystalRow, ListImageBytes(crystalRow, lists));
    size_t tutored = 0;  // machine byte 7 of species p is p * 37 + 82; MT01 to MT03 are its bits 1 to 3
    for (int p = 0; p < rom::kSpeciesCount; ++p) tutored += ((p * 37 + 82) & 0x0E) != 0 ? 1 : 0;
    const std::string line = "Tutor machines (MT01 to MT03): " + std::to_string(tutored) + " species of \"" +
                             crystal.path() + "\" can learn some; Kreblin Gold Version has none.\n";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"diff", gold.path(), crystal.path(), "--table", "machines"},
          std::vector<std::string>{"diff", crystal.path(), gold.path()}}) {
        const Outcome run = Quillmere(arguments);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), line.size())), line) << run.out;
    }
    const Outcome moves = Quillmere({"diff", gold.path(), crystal.path(), "--table", "moves"});
    EXPECT_EQ(moves.status, 0) << moves.out;
}

// A modified French Crystal whose tables and lists all moved 16 bytes on,
// placed by a ".tables" file (its code carries none of the routines that
// would say where they are). The game keeps data of its own right after its
// last lists (the test pattern up to the end of each bank), so the lists may
// shrink there but not grow, and that data is never touched.
class TablesFileLists : public Cli {
protected:
    static constexpr int32_t kMovedBy = 16;

    void SetUp() override {
        moved_ = *rom::FindReleaseLayout("BYTF", 0);
        moved_.tables.BaseStatsOffset += kMovedBy;
        moved_.tables.MenuIconOffset += kMovedBy;
        moved_.tables.CryTableOffset += kMovedBy;
        moved_.tables.EvoMovePointerOffset += kMovedBy;
        moved_.eggMovePointerOffset += kMovedBy;
        std::vector<uint8_t> bytes = ListImageBytes(moved_, lists_);
        testsupport::RemoveTableRoutines(bytes, moved_.tables.MenuIconOffset);
        for (const int64_t table : {int64_t{moved_.tables.EvoMovePointerOffset}, int64_t{moved_.eggMovePointerOffset}}) {
            const int64_t end = table == moved_.eggMovePointerOffset ? LayEggMoveLists(bytes, lists_)
                                                                     : LayEvoMoveLists(bytes, lists_);
            for (int64_t at = end; at < listtest::BankEnd(table); ++at) {
                bytes[static_cast<size_t>(at)] = static_cast<uint8_t>(TestImage::PatternByte(at) | 1);
            }
        }
        image_ = ImageFile(moved_, bytes);
        before_ = image_.ReadAll();
    }

    // Lays the lists again as the test expects them (the same lists give the
    // same bytes) and returns the first byte after the last one; bytes from
    // there on keep the values of `keep` (the game's own data).
    int64_t LayEvoMoveLists(std::vector<uint8_t>& image, const listtest::Lists& made,
                            const std::vector<uint8_t>* keep = nullptr) const {
        std::array<std::vector<uint8_t>, rom::kSpeciesCount> lists;
        for (size_t p = 0; p < lists.size(); ++p) lists[p] = listtest::EvoMoveListBytes(made.evoMoves[p]);
        return Lay(image, moved_.tables.EvoMovePointerOffset, lists, false, keep);
    }
    int64_t LayEggMoveLists(std::vector<uint8_t>& image, const listtest::Lists& made,
                            const std::vector<uint8_t>* keep = nullptr) const {
        std::array<std::vector<uint8_t>, rom::kSpeciesCount> lists;
        for (size_t p = 0; p < lists.size(); ++p) {
            lists[p] = made.eggMoves[p];
            lists[p].push_back(tables::kEggListEnd);
        }
        return Lay(image, moved_.eggMovePointerOffset, lists, true, keep);
    }

    // Writes the ".tables" file, with or without its "eggs" line.
    void WriteTables(bool eggs) const {
        std::string text = "# a modified game: every table 16 bytes on\n" + rom::TablesFileText(moved_.tables);
        if (eggs) text += "eggs = " + Hex(moved_.eggMovePointerOffset) + "\n";
        image_.WriteTablesFile(text);
    }

    static std::string Hex(int64_t value) {
        char text[24];
        std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
        return text;
    }

    Outcome Import(const std::string& table, const std::string& csv) {
        const std::string file = InFolder(table + ".csv");
        WriteFile(file, csv);
        return Quillmere({"import", image_.path(), file, "--table", table});
    }

    listtest::Lists lists_ = listtest::SyntheticLists();
    rom::ReleaseLayout moved_{};
    TestImage image_{0x00, 0};
    std::vector<uint8_t> before_;

private:
    static int64_t Lay(std::vector<uint8_t>& image, int64_t table,
                       const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& lists, bool share,
                       const std::vector<uint8_t>* keep) {
        const int64_t end = listtest::LayLists(image, table, lists, share);
        if (keep != nullptr) {
            std::copy(keep->begin() + end, keep->begin() + listtest::BankEnd(table), image.begin() + end);
        }
        return end;
    }
};

TEST_F(TablesFileLists, WithoutAnEggsLineMovesShrinkButNeitherGrowNorHaveEggMoves) {
    EXPECT_EQ(Quillmere({"export", image_.path(), "--table", "moves"}).status, 1) << "moved, refused without the file";
    WriteTables(false);
    const Outcome moves = Quillmere({"export", image_.path(), "--table", "moves"});
    ASSERT_EQ(moves.status, 0) << moves.err;
    EXPECT_EQ(moves.out, ExpectedMovesCsv(lists_));
    const Outcome eggs = Quillmere({"export", image_.path(), "--table", "egg-moves", "-o", InFolder("eggs.csv")});
    EXPECT_EQ(eggs.status, 1);
    EXPECT_NE(eggs.err.find("has no known egg move table"), std::string::npos) << eggs.err;
    EXPECT_FALSE(std::filesystem::exists(InFolder("eggs.csv")));

    // info says so before an import refuses: no room to grow, no egg moves.
    const Outcome info = Quillmere({"info", image_.path()});
    EXPECT_NE(info.out.find("List room:         evolutions and level-up moves: 0 bytes free of "), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find(" (the lists may shrink but not grow: the image tells no free space after them); egg moves: "
                            "none (no known egg move table)\n"),
              std::string::npos)
        << info.out;

    const Outcome grown = Import("moves", kGrownMoves);
    EXPECT_EQ(grown.status, 1);
    // A modified game, as one the code locates: no 0 bytes end the bank.
    EXPECT_NE(grown.err.find("(in this modified game the lists may use only the bytes they hold and the 0 bytes that "
                             "end their bank after the last of them). Nothing was written."),
              std::string::npos)
        << grown.err;
    EXPECT_TRUE(grown.out.empty()) << grown.out;
    EXPECT_TRUE(image_.ReadAll() == before_);

    // Species 4 had four level-up moves; one is left.
    const Outcome shrunk = Import("moves", "Position,Species,Level,Move\n4,,1,Tackle\n");
    ASSERT_EQ(shrunk.status, 0) << shrunk.err;
    listtest::Lists fewer = lists_;
    fewer.evoMoves[4].moves = {{1, 33}};
    std::vector<uint8_t> expected = before_;
    const int64_t end = LayEvoMoveLists(expected, fewer, &before_);
    EXPECT_LT(end, LayEvoMoveLists(before_, lists_));
    // The bytes the lists gave up are 0; the game's data after them is kept.
    std::fill(expected.begin() + end, expected.begin() + LayEvoMoveLists(before_, lists_), uint8_t{0});
    EXPECT_TRUE(image_.ReadAll() == expected);
}

// Where only 0 bytes follow the last list to the end of the bank, the lists
// of a game its ".tables" file places grow into them, as those of a modified
// game its code places do.
TEST_F(TablesFileLists, ListsGrowIntoTheZerosThatEndTheirBank) {
    const int64_t table = moved_.tables.EvoMovePointerOffset;
    std::vector<uint8_t> zeros = before_;
    const int64_t end = LayEvoMoveLists(zeros, lists_);
    std::fill(zeros.begin() + end, zeros.begin() + listtest::BankEnd(table), uint8_t{0});
    image_.SetBytes(0, zeros);
    WriteTables(false);
    const Outcome grown = Import("moves", kGrownMoves);
    ASSERT_EQ(grown.status, 0) << grown.err;
    EXPECT_TRUE(image_.ReadAll() == WithEvoMoveLists(zeros, table, GrownLists(lists_)));
}

// info's hint gives every line the image confirms, eggs included; with the
// icons filled in, the file it suggests reads the egg moves.
TEST_F(TablesFileLists, TheHintOfInfoGivesEveryLineTheImageConfirms) {
    const Outcome info = Quillmere({"info", image_.path()});
    EXPECT_EQ(info.status, 0) << info.err;
    std::string lines;
    for (const auto& [key, at] : std::vector<std::pair<std::string, int64_t>>{
             {"base", moved_.tables.BaseStatsOffset},
             {"icons", -1},
             {"cries", moved_.tables.CryTableOffset},
             {"pointers", moved_.tables.EvoMovePointerOffset},
             {"eggs", moved_.eggMovePointerOffset}}) {
        const std::string line = key + " = " + (at < 0 ? "0x..." : Hex(at)) + "\n";
        EXPECT_NE(info.out.find("    " + line), std::string::npos) << line << info.out;
        lines += at < 0 ? "icons = " + Hex(moved_.tables.MenuIconOffset) + "\n" : line;
    }
    EXPECT_NE(info.out.find("Fill in each 0x... first"), std::string::npos) << info.out;
    const nlohmann::json json = nlohmann::json::parse(Quillmere({"info", "--json", image_.path()}).out);
    EXPECT_EQ(json["tablesHint"]["eggs"], moved_.eggMovePointerOffset);
    EXPECT_TRUE(json["tablesHint"]["icons"].is_null());

    image_.WriteTablesFile(lines);
    const Outcome eggs = Quillmere({"export", image_.path(), "--table", "egg-moves"});
    ASSERT_EQ(eggs.status, 0) << eggs.err;
    EXPECT_EQ(eggs.out, ExpectedEggMovesCsv(lists_));
}

TEST_F(TablesFileLists, WithAnEggsLineEggMovesAreReadAndPackedThere) {
    WriteTables(true);
    const Outcome eggs = Quillmere({"export", image_.path(), "--table", "egg-moves"});
    ASSERT_EQ(eggs.status, 0) << eggs.err;
    EXPECT_EQ(eggs.out, ExpectedEggMovesCsv(lists_));

    // Bulbasaur, without egg moves, gets one: two more bytes.
    const Outcome grown = Import("egg-moves", "Position,Species,Move\n0,,Tackle\n");
    EXPECT_EQ(grown.status, 1);
    EXPECT_NE(grown.err.find("The egg move lists do not fit: packed, they take"), std::string::npos) << grown.err;
    EXPECT_TRUE(image_.ReadAll() == before_);

    // Species 2 had three egg moves; one is left.
    const Outcome shrunk = Import("egg-moves", "Position,Species,Move\n2,,Tackle\n");
    ASSERT_EQ(shrunk.status, 0) << shrunk.err;
    listtest::Lists fewer = lists_;
    fewer.eggMoves[2] = {33};
    std::vector<uint8_t> expected = before_;
    const int64_t end = LayEggMoveLists(expected, fewer, &before_);
    std::fill(expected.begin() + end, expected.begin() + LayEggMoveLists(before_, lists_), uint8_t{0});
    EXPECT_TRUE(image_.ReadAll() == expected);
    const Outcome again = Quillmere({"export", image_.path(), "--table", "egg-moves"});
    EXPECT_EQ(again.out, ExpectedEggMovesCsv(fewer));
}

// An image without a known egg move table has unknown egg moves, not none:
// diff says it cannot compare them instead of finding no difference.
TEST_F(TablesFileLists, DiffSaysWhenEggMovesCannotBeCompared) {
    const std::string other = InFolder("other.gbc");
    std::filesystem::copy_file(image_.path(), other);
    WriteTables(false);
    WriteFile(other + ".tables", ReadFile(image_.tablesPath()) + "eggs = " + Hex(moved_.eggMovePointerOffset) + "\n");

    const Outcome eggs = Quillmere({"diff", other, image_.path(), "--table", "egg-moves"});
    EXPECT_EQ(eggs.status, 2);
    EXPECT_TRUE(eggs.out.empty()) << eggs.out;
    EXPECT_EQ(eggs.err, "quillmere-cli: The egg moves cannot be compared: \"" + image_.path() +
                            "\" has no known egg move table (an image of a known release has one; a \".tables\" "
                            "file gives it with an \"eggs\" line).\n");
    const Outcome all = Quillmere({"diff", image_.path(), other});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "quillmere-cli: warning: egg moves were not compared: \"" + image_.path() +
                           "\" has no known egg move table.\n");

    WriteTables(true);
    const Outcome both = Quillmere({"diff", other, image_.path(), "--table", "egg-moves"});
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_TRUE(both.err.empty()) << both.err;
}

}  // namespace
