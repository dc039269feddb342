#include "tables/ListTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "formats/Csv.h"
#include "tables/ListDiff.h"
#include "tables/FileOrigin.h"
#include "tests/tables/ListImages.h"

namespace {

using rom::GameVersion;
using tables::ListTable;
using tables::TableFormat;
using testsupport::TestImage;

constexpr ListTable kAllTables[] = {ListTable::Machines, ListTable::Evolutions, ListTable::Moves,
                                    ListTable::EggMoves};

class ListTables : public testing::Test {
protected:
    void Use(GameVersion version) {
        file_ = listtest::ReleaseLikeImage(listtest::SyntheticLists(), version);
        // Machines of every pattern, bits 60 to 63 (unused) included.
        std::vector<uint8_t> bytes = file_.ReadAll();
        const rom::VersionProfile profile = rom::ReleasedProfile(version);
        for (int p = 0; p < rom::kSpeciesCount; ++p) {
            for (int k = 0; k < 8; ++k) {
                bytes[static_cast<size_t>(profile.BaseStatsOffset + 32 * p + 24 + k)] =
                    static_cast<uint8_t>(p * 31 + k * 57);
            }
        }
        file_.SetBytes(0, bytes);
        std::string refusal;
        image_ = *tables::OpenTableImage(file_.path(), refusal);
        lists_ = tables::ReadSpeciesLists(image_);
    }

    tables::ImportedLists Read(const std::string& text, ListTable table, TableFormat format = TableFormat::Csv) {
        return tables::ReadListTable(text, format, table, image_, lists_);
    }

    // The image after importing `text`, which must be accepted.
    std::vector<uint8_t> Imported(const std::string& text, ListTable table, TableFormat format = TableFormat::Csv) {
        const tables::ImportedLists imported = Read(text, table, format);
        EXPECT_TRUE(imported.status.ok()) << tables::RefusalText(imported.status.refusals.front());
        const tables::ListImportPlan plan = tables::PlanListImport(image_, lists_, imported);
        EXPECT_EQ(plan.refusal, "");
        return plan.after;
    }

    // The refusals of importing `text`, as the program prints them.
    std::vector<std::string> Refusals(const std::string& text, ListTable table) {
        std::vector<std::string> texts;
        for (const tables::Refusal& refusal : Read(text, table).status.refusals) {
            texts.push_back(tables::RefusalText(refusal));
        }
        return texts;
    }

    std::string Header(ListTable table) const {
        std::string header;
        for (const std::string& column : tables::ListTableColumns(table, image_.version)) {
            header += (header.empty() ? "" : ",") + column;
        }
        return header + "\n";
    }

    TestImage file_{0x00, 0};
    tables::TableImage image_;
    tables::SpeciesLists lists_;
};

TEST_F(ListTables, EveryTableExportedAndImportedAgainChangesNoByteInBothFormats) {
    for (const GameVersion version : {GameVersion::Crystal, GameVersion::Gold}) {
        Use(version);
        for (const ListTable table : kAllTables) {
            for (const TableFormat format : {TableFormat::Csv, TableFormat::Json}) {
                const std::string text = tables::ExportListTable(image_, lists_, table, format);
                EXPECT_EQ(Imported(text, table, format), image_.bytes) << tables::ListTableName(table);
            }
        }
    }
}

TEST_F(ListTables, ExportsNameEveryValueAndEveryMachineTheVersionHas) {
    Use(GameVersion::Gold);
    const std::string machines = tables::ExportListTable(image_, lists_, ListTable::Machines, TableFormat::Csv);
    EXPECT_NE(machines.find(",HM07\r\n"), std::string::npos) << machines.substr(0, 400);
    EXPECT_EQ(machines.find("MT01"), std::string::npos);
    Use(GameVersion::Crystal);
    EXPECT_NE(tables::ExportListTable(image_, lists_, ListTable::Machines, TableFormat::Csv).find(",MT03\r\n"),
              std::string::npos);

    const std::string evolutions = tables::ExportListTable(image_, lists_, ListTable::Evolutions, TableFormat::Csv);
    EXPECT_NE(evolutions.find("0,Bulbasaur,Level,5,,,,Ivysaur\r\n"), std::string::npos);
    EXPECT_NE(evolutions.find("1,Ivysaur,Trade,,FF - Nothing,,,Venusaur\r\n"), std::string::npos);
    EXPECT_NE(evolutions.find("2,Venusaur,Happiness,,,Night,,Charmander\r\n"), std::string::npos);
    EXPECT_NE(evolutions.find("3,Charmander,Stats,20,,,Attack > Defense,Charmeleon\r\n"), std::string::npos);
    EXPECT_NE(evolutions.find("4,Charmeleon,,,,,,\r\n"), std::string::npos);  // no evolution

    const std::string moves = tables::ExportListTable(image_, lists_, ListTable::Moves, TableFormat::Json);
    EXPECT_NE(moves.find("\"moves\": ["), std::string::npos);
    EXPECT_NE(moves.find("{\"Position\":0,\"Species\":\"Bulbasaur\",\"Level\":null,\"Move\":null}"),
              std::string::npos);
    EXPECT_NE(moves.find("{\"Position\":1,\"Species\":\"Ivysaur\",\"Level\":1,\"Move\":\"Ice Punch\"}"),
              std::string::npos);
}

TEST_F(ListTables, ImportedListsLandAndLeftOutSpeciesKeepTheirs) {
    Use(GameVersion::Crystal);
    // Teach Bulbasaur (no moves) two, empty Ivysaur's, change Charmander's evolution.
    std::vector<uint8_t> after = Imported(Header(ListTable::Moves) +
                                              "0,Bulbasaur,1,Tackle\n0,,7,22\n1,Ivysaur,,\n",
                                          ListTable::Moves);
    tables::SpeciesLists again = tables::ReadSpeciesLists(after, image_.profile, lists_.layout);
    EXPECT_EQ(again.evoMoves[0].moves, (std::vector<tables::LevelMove>{{1, 33}, {7, 22}}));
    EXPECT_TRUE(again.evoMoves[1].moves.empty());
    for (size_t p = 2; p < again.evoMoves.size(); ++p) {
        EXPECT_EQ(again.evoMoves[p].moves, lists_.evoMoves[p].moves) << p;
        EXPECT_EQ(again.evoMoves[p].evolutions, lists_.evoMoves[p].evolutions) << p;
    }
    EXPECT_EQ(again.evoMoves[0].evolutions, lists_.evoMoves[0].evolutions);

    after = Imported(Header(ListTable::Evolutions) + "3,Charmander,Item,,08 - Moon Stone,,,Mew\n"
                                                     "3,Charmander,Happiness,,,Any time,,152\n",
                     ListTable::Evolutions);
    again = tables::ReadSpeciesLists(after, image_.profile, lists_.layout);
    EXPECT_EQ(again.evoMoves[3].evolutions,
              (std::vector<tables::Evolution>{{tables::EvolutionMethod::Item, 0, 8, 0, 0, 151},
                                              {tables::EvolutionMethod::Happiness, 0, 0, 1, 0, 152}}));

    // A machines row changes only the bits of its columns: MT bits of Gold and bits 60-63 stay.
    Use(GameVersion::Gold);
    std::string row = "7,Wartortle";
    for (int k = 0; k < 57; ++k) row += k == 4 ? ",1" : ",0";
    after = Imported(Header(ListTable::Machines) + row + "\n", ListTable::Machines);
    again = tables::ReadSpeciesLists(after, image_.profile, lists_.layout);
    for (int k = 0; k < 64; ++k) {
        const bool expected = k < 57 ? k == 4 : tables::MachineBit(lists_.machines[7], k);
        EXPECT_EQ(tables::MachineBit(again.machines[7], k), expected) << k;
    }
    EXPECT_EQ(again.machines[8], lists_.machines[8]);
}

TEST_F(ListTables, EachRefusalSaysItsLineAndColumnAndWhatTheColumnTakes) {
    Use(GameVersion::Crystal);
    EXPECT_EQ(Refusals(Header(ListTable::Moves) + "0,,0,Tackle\n0,,101,Tackle\n5,,1,None\n5,,2,252\n5,,3,Fly Kick\n",
                       ListTable::Moves),
              (std::vector<std::string>{
                  "line 2, column 3 (Level): Level must be a whole number from 1 to 100; it holds \"0\".",
                  "line 3, column 3 (Level): Level must be a whole number from 1 to 100; it holds \"101\".",
                  "line 4, column 4 (Move): Move must be a move's name or its number from 1 to 251, for example "
                  "\"Night Shade\" or \"101\"; it holds \"None\".",
                  "line 5, column 4 (Move): Move must be a move's name or its number from 1 to 251, for example "
                  "\"Pound\" or \"1\"; it holds \"252\".",
                  "line 6, column 4 (Move): Move must be a move's name or its number from 1 to 251, for example "
                  "\"Fly\" or \"19\"; it holds \"Fly Kick\"."}));
    EXPECT_EQ(Refusals(Header(ListTable::Evolutions) + "0,,Level,16,,,,0\n0,,Level,16,,,,252\n1,,Level,,,,,2\n"
                                                       "2,,Item,5,,,,3\n2,,Swim,,,,,3\n",
                       ListTable::Evolutions),
              (std::vector<std::string>{
                  "line 2, column 8 (Into): Into must be a species' name or its number from 1 to 251, for example "
                  "\"Bulbasaur\" or \"1\"; it holds \"0\".",
                  "line 3, column 8 (Into): Into must be a species' name or its number from 1 to 251, for example "
                  "\"Bulbasaur\" or \"1\"; it holds \"252\".",
                  "line 4, column 4 (Level): Level must be a whole number from 1 to 100; it is empty.",
                  "line 5, column 4 (Level): Level must be empty for an Item evolution; it holds \"5\".",
                  "line 5, column 5 (Item): Item must be an entry of the held-item list or a code of 1 to 2 hex "
                  "digits, for example \"None\" or \"00\"; it is empty.",
                  "line 6, column 3 (Method): Method must be \"Level\", \"Item\", \"Trade\", \"Happiness\" or "
                  "\"Stats\"; it holds \"Swim\"."}));
    const std::vector<std::string> none =
        Refusals(Header(ListTable::EggMoves) + "0,,Tackle\n0,,\n", ListTable::EggMoves);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_NE(none[0].find("line 3, column 1 (Position): a row without values says that 0 Bulbasaur has none"),
              std::string::npos)
        << none[0];
    const std::vector<std::string> blank =
        Refusals(Header(ListTable::Machines) + "0" + std::string(61, ',') + "\n", ListTable::Machines);
    EXPECT_EQ(blank.size(), 60u);  // every machine cell of the row: empty is neither 1 nor 0
}

// Levels in any order are taken, as the releases hold species 88's. A list
// the import changes so that its levels fall is written in the file's order
// with a warning; an unchanged one, however it is ordered, says nothing.
TEST_F(ListTables, FallingLevelsAreTakenAndSaidOnlyForAChangedList) {
    Use(GameVersion::Crystal);
    const tables::ImportedLists same = Read(tables::ExportListTable(image_, lists_, ListTable::Moves, TableFormat::Csv),
                                            ListTable::Moves);
    EXPECT_TRUE(same.status.ok());
    EXPECT_TRUE(same.warnings.empty());
    EXPECT_EQ(same.evoMoves[88].moves, testsupport::OutOfOrderLevelUpMoves());

    const std::string text = Header(ListTable::Moves) + "9,,10,Tackle\n9,,12,Growl\n9,,11,Ember\n9,,5,Cut\n";
    const tables::ImportedLists fallen = Read(text, ListTable::Moves);
    ASSERT_TRUE(fallen.status.ok());
    EXPECT_EQ(fallen.evoMoves[9].moves, (std::vector<tables::LevelMove>{{10, 33}, {12, 45}, {11, 52}, {5, 15}}));
    ASSERT_EQ(fallen.warnings.size(), 1u);
    EXPECT_EQ(fallen.warnings[0].rfind("the level-up moves of 9 Caterpie fall from level 12 to level 11 at line 4; "
                                       "they are written in that order. On reaching a level the game teaches the "
                                       "moves of that level from the whole list, but a Caterpie it creates",
                                       0),
              0u)
        << fallen.warnings[0];
    const tables::SpeciesLists after =
        tables::ReadSpeciesLists(Imported(text, ListTable::Moves), image_.profile, lists_.layout);
    EXPECT_EQ(after.evoMoves[9].moves, fallen.evoMoves[9].moves);
}

// A refused name shows two spellings of the entry it comes closest to; each
// of them, put in its place, is taken.
TEST_F(ListTables, ARefusedNameShowsTwoSpellingsThatAreBothTaken) {
    Use(GameVersion::Crystal);
    struct Case {
        ListTable table;
        std::string row;  // with "@" where the refused value stands
        std::string refused;
        std::string examples;
    };
    const std::vector<Case> cases{
        {ListTable::Moves, "5,,3,@", "Vine Wip", "\"Vine Whip\" or \"22\""},
        {ListTable::Moves, "5,,3,@", "None", ""},  // "None" is no move: never the example
        {ListTable::Moves, "5,,3,@", "4B", ""},    // a move's number is decimal
        {ListTable::EggMoves, "5,,@", "  curze", "\"Curse\" or \"174\""},
        {ListTable::Evolutions, "0,,Level,16,,,,@", "Ivysaurr", "\"Ivysaur\" or \"2\""},
        {ListTable::Evolutions, "0,,Level,16,,,,@", "0", ""},
        {ListTable::Evolutions, "2,,Item,,@,,,3", "Mirakle Berry", "\"Miracle Berry\" or \"6D\""},
        {ListTable::Evolutions, "2,,Item,,@,,,3", "6D=Mirakle Berry", "\"Miracle Berry\" or \"6D\""},
        {ListTable::Evolutions, "2,,Trade,,@,,,3", "%", ""},
    };
    for (const Case& c : cases) {
        const auto rowWith = [&](const std::string& value) {
            std::string row = c.row;
            row.replace(row.find('@'), 1, value);
            return Header(c.table) + row + "\n";
        };
        const std::vector<std::string> refusals = Refusals(rowWith(c.refused), c.table);
        ASSERT_EQ(refusals.size(), 1u) << c.refused;
        const size_t example = refusals[0].find(", for example \"");
        ASSERT_NE(example, std::string::npos) << refusals[0];
        const size_t holds = refusals[0].find("; it holds ", example);
        ASSERT_NE(holds, std::string::npos) << refusals[0];
        const std::string examples = refusals[0].substr(example + 14, holds - example - 14);
        if (!c.examples.empty()) {
            EXPECT_EQ(examples, c.examples);
        }
        // Both spellings, each read back alone, are taken.
        const size_t orAt = examples.find("\" or \"");
        ASSERT_NE(orAt, std::string::npos) << examples;
        const std::string first = examples.substr(1, orAt - 1);
        const std::string second = examples.substr(orAt + 6, examples.size() - orAt - 7);
        for (const std::string& spelling : {first, second}) {
            EXPECT_TRUE(Refusals(rowWith(spelling), c.table).empty()) << c.refused << " -> " << spelling;
        }
    }
}

TEST_F(ListTables, JsonRefusalsPointAtTheValueOrTheKey) {
    Use(GameVersion::Crystal);
    const std::string text = "{\"moves\": [\n"
                             "  {\"Position\": 3, \"Level\": 0, \"Move\": \"Tackle\"},\n"
                             "  {\"Position\": 3, \"Level\": 5, \"Move\": true, \"Power\": 9},\n"
                             "  {\"Position\": 4, \"Move\": \"Tackle\"}\n"
                             "]}";
    std::vector<std::string> refusals;
    for (const tables::Refusal& refusal : Read(text, ListTable::Moves, TableFormat::Json).status.refusals) {
        refusals.push_back(tables::RefusalText(refusal));
    }
    EXPECT_EQ(refusals,
              (std::vector<std::string>{
                  "line 2, column 28 (Level): Level must be a whole number from 1 to 100; it holds \"0\".",
                  "line 3, column 39 (Move): \"Move\" must be a number, a string or null, not true.",
                  "line 3, column 45 (Power): \"Power\" is not a column of the table (names are matched without "
                  "regard to case, spaces and dots); the columns are Position, Species, Level, Move.",
                  "line 4, column 3: the row lacks Level."}));
}

// A value an evolution's method needs, in a column or member the file leaves
// out, is refused at the line of its row (it once said line 0).
TEST_F(ListTables, AValueInALeftOutColumnIsRefusedAtItsRow) {
    Use(GameVersion::Crystal);
    const std::string json = "{\"evolutions\": [\n"
                             "  {\"Position\": 0, \"Method\": \"Level\", \"Into\": \"Ivysaur\"}\n"
                             "]}";
    std::vector<std::string> refusals;
    for (const tables::Refusal& refusal : Read(json, ListTable::Evolutions, TableFormat::Json).status.refusals) {
        refusals.push_back(tables::RefusalText(refusal));
    }
    EXPECT_EQ(refusals, (std::vector<std::string>{"line 2, column 3 (Level): Level must be a whole number from 1 to "
                                                  "100; it is empty."}));
    EXPECT_EQ(Refusals("Position,Method,Into\n0,Level,Ivysaur\n", ListTable::Evolutions),
              (std::vector<std::string>{"line 2 (Level): Level must be a whole number from 1 to 100; it is empty."}));
}

// The CSV text of `records` with `separator` between fields, each field
// quoted when it holds the separator or a quote; `header` renames the columns.
std::string Rejoined(const std::vector<formats::CsvRecord>& records, char separator,
                     const std::function<std::string(const std::string&)>& header) {
    std::string text;
    for (size_t r = 0; r < records.size(); ++r) {
        for (size_t f = 0; f < records[r].fields.size(); ++f) {
            std::string field = r == 0 ? header(records[r].fields[f]) : records[r].fields[f];
            if (field.find_first_of(std::string(1, separator) + "\"") != std::string::npos) {
                std::string quoted = "\"";
                for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
                field = quoted + "\"";
            }
            text += (f == 0 ? "" : std::string(1, separator)) + field;
        }
        text += "\r\n";
    }
    return text;
}

// A column name as people type it into a spreadsheet: another case, a dot,
// a space ("Position" gives "position", "P.OSITION" and "p osition").
std::string Respelled(const std::string& name, int how) {
    std::string spelled;
    for (const char c : name) spelled += static_cast<char>(how == 1 ? std::toupper(c) : std::tolower(c));
    if (how == 1) spelled.insert(1, ".");
    if (how == 2) spelled.insert(1, " ");
    return spelled;
}

void ExpectSameLists(const tables::ImportedLists& a, const tables::ImportedLists& b, const std::string& what) {
    EXPECT_TRUE(a.given == b.given) << what;
    EXPECT_TRUE(a.machines == b.machines) << what;
    EXPECT_TRUE(a.evoMoves == b.evoMoves) << what;
    EXPECT_TRUE(a.eggMoves == b.eggMoves) << what;
}

// Every table's export, as a spreadsheet may save it again (semicolons or
// tabs, column names in another case or with dots and spaces, empty rows
// below and between), reads back as the same rows.
TEST_F(ListTables, SpreadsheetFormsOfAnExportReadBackAsTheSameRows) {
    Use(GameVersion::Crystal);
    for (const ListTable table : kAllTables) {
        const std::string exported = tables::ExportListTable(image_, lists_, table, TableFormat::Csv);
        const tables::ImportedLists original = Read(exported, table);
        ASSERT_TRUE(original.status.ok());
        const formats::CsvRead parsed = formats::ReadCsv(exported);
        ASSERT_FALSE(parsed.error);
        const size_t columns = parsed.records.front().fields.size();
        for (const char separator : {';', '\t', ','}) {
            for (int how = 0; how < 3; ++how) {
                int renamed = 0;
                std::string text = Rejoined(parsed.records, separator, [&](const std::string& name) {
                    return Respelled(name, (how + renamed++) % 3);
                });
                // Empty rows: one with every separator, one short, one of spaces, one in the middle.
                const std::string blank(columns - 1, separator);
                text += blank + "\r\n" + std::string(2, separator) + "\n" + " " + separator + " \r\n";
                const size_t middle = text.find("\r\n10" + std::string(1, separator));
                ASSERT_NE(middle, std::string::npos);
                text.insert(middle + 2, blank + "\r\n");
                const std::string what = std::string(tables::ListTableName(table)) + " separator " +
                                         std::to_string(separator) + " spelling " + std::to_string(how);
                const tables::ImportedLists again = Read(text, table);
                ASSERT_TRUE(again.status.ok()) << what << ": " << tables::RefusalText(again.status.refusals.front());
                ExpectSameLists(again, original, what);
            }
        }
    }
}

// A row with its Position and nothing else empties the species' list; only a
// row with no cell at all is skipped. Refusals name the table's columns,
// however the file spells them, in CSV and in JSON.
TEST_F(ListTables, OnlyWhollyEmptyRowsAreSkippedAndRefusalsUseTheTablesNames) {
    Use(GameVersion::Crystal);
    ASSERT_FALSE(lists_.evoMoves[3].moves.empty());
    const tables::ImportedLists emptied =
        Read("position;SPECIES;le vel;m.o.v.e\n;;;\n3;;;\n;;;\n4;;7;Vine Whip\n;;\n", ListTable::Moves);
    ASSERT_TRUE(emptied.status.ok()) << tables::RefusalText(emptied.status.refusals.front());
    EXPECT_TRUE(emptied.given[3] && emptied.given[4]);
    EXPECT_EQ(std::count(emptied.given.begin(), emptied.given.end(), true), 2);
    EXPECT_TRUE(emptied.evoMoves[3].moves.empty());
    EXPECT_EQ(emptied.evoMoves[4].moves, (std::vector<tables::LevelMove>{{7, 22}}));
    // The Species cell alone is no empty row: its Position is missing.
    EXPECT_EQ(Refusals("Position\tSpecies\tMove\n\tBulbasaur\t\n", ListTable::EggMoves),
              (std::vector<std::string>{
                  "line 2, column 1 (Position): Position must be a whole number from 0 to 250; it is empty."}));

    EXPECT_EQ(Refusals("POSITION;level;Level;Mov;Moves;m ove\n", ListTable::Moves),
              (std::vector<std::string>{
                  "line 1, column 3 (Level): the column \"Level\" is given twice; column 2 has it first.",
                  "line 1, column 4 (Mov): \"Mov\" is not a column of the table (names are matched without regard "
                  "to case, spaces and dots); the columns are Position, Species, Level, Move.",
                  "line 1, column 5 (Moves): \"Moves\" is not a column of the table."}));
    EXPECT_EQ(Refusals("position;level\n", ListTable::Moves),
              (std::vector<std::string>{"line 1: the header row lacks the column(s) Move."}));
    EXPECT_EQ(Refusals("position,species,level,move\n3,,0,tackle\n", ListTable::Moves),
              (std::vector<std::string>{
                  "line 2, column 3 (Level): Level must be a whole number from 1 to 100; it holds \"0\"."}));

    const std::string json = "{\"evolutions\": [\n"
                             "  {\"position\": 0, \"METHOD\": \"Item\", \"level\": null, \"i.tem\": \"02\", "
                             "\"when\": null, \"stats\": null, \"in to\": \"Ivysaur\"},\n"
                             "  {\"position\": 1, \"method\": \"Level\", \"LEVEL\": false, \"Item\": null, "
                             "\"When\": null, \"Stats\": null, \"Into\": 3, \"into\": 3}\n"
                             "]}";
    const tables::ImportedLists read = Read(json, ListTable::Evolutions, TableFormat::Json);
    std::vector<std::string> refusals;
    for (const tables::Refusal& refusal : read.status.refusals) refusals.push_back(tables::RefusalText(refusal));
    EXPECT_EQ(refusals, (std::vector<std::string>{
                            "line 3, column 47 (Level): \"Level\" must be a number, a string or null, not false.",
                            "line 3, column 108 (Into): \"Into\" is given twice in this row."}));
    const tables::ImportedLists taken =
        Read(json.substr(0, json.find("},\n") + 1) + "]}", ListTable::Evolutions, TableFormat::Json);
    ASSERT_TRUE(taken.status.ok()) << tables::RefusalText(taken.status.refusals.front());
    ASSERT_EQ(taken.evoMoves[0].evolutions.size(), 1u);
    EXPECT_EQ(taken.evoMoves[0].evolutions[0].method, tables::EvolutionMethod::Item);
    EXPECT_EQ(taken.evoMoves[0].evolutions[0].item, 2);
    EXPECT_EQ(taken.evoMoves[0].evolutions[0].into, 2);
}

TEST_F(ListTables, AListTheImageCannotReadIsNeitherExportedNorReplaced) {
    Use(GameVersion::Crystal);
    std::vector<uint8_t> bytes = image_.bytes;
    bytes[static_cast<size_t>(image_.profile.EvoMovePointerOffset + 2 * 24 + 1)] = 0x90;  // Pikachu: 0x90xx
    image_.bytes = bytes;
    lists_ = tables::ReadSpeciesLists(image_);
    const std::vector<std::string> unreadable = tables::UnreadableLists(lists_, ListTable::Moves);
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].rfind("24 Pikachu: its pointer at 0x425E1 holds the address 0x90", 0), 0u) << unreadable[0];
    const std::string moves = tables::ExportListTable(image_, lists_, ListTable::Moves, TableFormat::Csv);
    EXPECT_EQ(moves.find("\r\n24,"), std::string::npos);
    EXPECT_NE(moves.find("\r\n25,"), std::string::npos);
    const std::vector<std::string> refused = Refusals(Header(ListTable::Moves) + "24,Pikachu,5,Tackle\n", ListTable::Moves);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("the image's list of 24 Pikachu is unreadable"), std::string::npos) << refused[0];
    // Other species' lists are still written in place.
    EXPECT_EQ(Imported(moves, ListTable::Moves), image_.bytes);
}

TEST_F(ListTables, DifferencesNameMachinesMovesAndEvolutionsPerSpecies) {
    Use(GameVersion::Crystal);
    tables::SpeciesLists after = lists_;
    tables::SetMachineBit(after.machines[0], 4, !tables::MachineBit(lists_.machines[0], 4));
    tables::SetMachineBit(after.machines[0], 50, !tables::MachineBit(lists_.machines[0], 50));
    after.evoMoves[0].evolutions[0].level = 18;
    after.evoMoves[1].moves[0].move = 22;
    after.evoMoves[1].moves.push_back({50, 1});
    after.eggMoves[1].moves.erase(after.eggMoves[1].moves.begin());
    const std::vector<tables::ListChanges> changes =
        tables::ListDifferences(lists_, GameVersion::Crystal, after, GameVersion::Crystal);
    ASSERT_EQ(changes.size(), 2u);
    const std::string machines = std::string(tables::MachineBit(after.machines[0], 4) ? "+" : "\u2212") + "TM05 " +
                                 (tables::MachineBit(after.machines[0], 50) ? "+" : "\u2212") + "HM01";
    EXPECT_EQ(tables::DescribeAllChanges({}, changes),
              "0 Bulbasaur\n"
              "  Machines: " + machines + "\n"
              "  Evolutions: Level 5 \u2192 Level 18 into Ivysaur\n"
              "1 Ivysaur\n"
              "  Moves: 1 Ice Punch \u2192 1 Vine Whip, +50 Pound\n"
              "  Egg moves: \u2212Tackle\n");
}

}  // namespace
