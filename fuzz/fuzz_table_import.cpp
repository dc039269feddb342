// Hostile table files for the CSV and JSON readers of the import.
//
// The first byte picks the reader (even: CSV, odd: JSON) and the table: its
// half modulo 8 is 0 to 3 for the species table, 4 to 7 for the machines,
// evolutions, moves and egg-moves tables ('H' and 'I' machines, 'J' and 'K'
// evolutions, 'L' and 'M' moves, 'N' and 'O' egg moves). The rest is the
// file. Invariants of the species table:
//  - a refused file plans no change, and bringing it into an image opens no
//    file (the image's path names no file, and any failure reported aborts);
//  - every refusal has a line from 1 on and a message;
//  - an accepted file names each position once, within 0 to 250, and its
//    table, exported and read again in either format, comes back unchanged;
//  - a new name it gives is a field of 10 bytes whose name decodes, ended and
//    filled with 0x50 when shorter; exported and read again, it is no change.
// Of the list tables, read against an image in memory laid out like a
// release:
//  - every refusal has a line from 1 on and a message;
//  - an accepted file either is refused as a whole when laid in (lists that
//    do not fit) or gives an image that reads back exactly the lists the file
//    asked for, changed only in the base records, the pointer tables and
//    their lists' banks, and whose export of the table, imported again,
//    changes nothing more.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <array>
#include <set>
#include <vector>
#include <string>
#include <string_view>

#include "rom/FailureReporter.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tables/FileOrigin.h"
#include "tables/SpeciesTable.h"
#include "tables/SpeciesRows.h"
#include "tables/TableImport.h"
#include "tests/support/PackedLists.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Expect(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// An image that is never on disk: its table holds values of every kind.
const tables::TableImage& Image() {
    static const tables::TableImage image = [] {
        tables::TableImage made;
        made.path = "/nonexistent-quillmere-fuzz/image.gbc";
        made.version = rom::GameVersion::Crystal;
        made.layout = rom::ImageLayout::HandBuilt;
        made.profile = rom::DefaultProfile(made.version);
        for (size_t p = 0; p < made.table.size(); ++p) {
            for (size_t f = 0; f < tables::kFieldCount; ++f) {
                made.table[p].fields[f] = {static_cast<uint8_t>(p * 7 + f), static_cast<uint8_t>(p + f * 13)};
                if (rom::kSpeciesFields[f].width == 1) made.table[p].fields[f][1] = 0;
            }
        }
        // Names of the American set, full-length ones, one with a byte that
        // draws two characters, and some that do not decode.
        made.names.table = rom::NamesTable{0x53384, rom::kNameFieldLength, 0};
        for (size_t p = 0; p < made.names.stored.size(); ++p) {
            tables::NameBytes& name = made.names.stored[p];
            name.assign(static_cast<size_t>(rom::kNameFieldLength), rom::kNameEnd);
            for (size_t k = 0; k < 1 + p % 10; ++k) name[k] = static_cast<uint8_t>(0x80 + (p + k) % 58);
            if (p % 17 == 0) name[1] = 0xD0;
            if (p % 23 == 0) name[0] = 0x01;
        }
        return made;
    }();
    return image;
}

// An image of the first Crystal release's layout, in memory only, up to the
// end of the base records, whose lists the library itself packed after each
// pointer table.
const tables::TableImage& ListImage() {
    static const tables::TableImage image = [] {
        const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
        tables::TableImage made;
        made.path = "/nonexistent-quillmere-fuzz/lists.gbc";
        made.version = rom::GameVersion::Crystal;
        made.layout = rom::ImageLayout::Released;
        made.profile = row.tables;
        made.bytes.assign(static_cast<size_t>(row.tables.BaseStatsOffset + 32 * rom::kSpeciesCount), 0);
        std::copy(row.gameCode.begin(), row.gameCode.end(), made.bytes.begin() + rom::kGameCodeOffset);
        std::array<tables::EvoMoveContents, rom::kSpeciesCount> evoMoves;
        std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves;
        for (size_t p = 0; p < evoMoves.size(); ++p) {
            const auto into = static_cast<uint8_t>(p % 251 + 1);
            if (p % 3 == 0) evoMoves[p].evolutions.push_back({tables::EvolutionMethod::Level, 16, 0, 0, 0, into});
            if (p % 5 == 1) evoMoves[p].evolutions.push_back({tables::EvolutionMethod::Trade, 0, 0xFF, 0, 0, into});
            for (uint8_t k = 0; k < p % 4; ++k) evoMoves[p].moves.push_back({static_cast<uint8_t>(1 + 9 * k), static_cast<uint8_t>(k + 1)});
            if (p % 2 == 0) eggMoves[p] = {static_cast<uint8_t>(p % 251 + 1), 45};
            for (size_t k = 0; k < 8; ++k) {
                made.bytes[static_cast<size_t>(row.tables.BaseStatsOffset) + 32 * p + 24 + k] =
                    static_cast<uint8_t>(p * 13 + k * 7);
            }
        }
        evoMoves[testsupport::kOutOfOrderSpecies].moves = testsupport::OutOfOrderLevelUpMoves();
        if (!testsupport::PackLists(made, row, evoMoves, eggMoves).empty()) Fail("the fuzz image's lists fit");
        return made;
    }();
    return image;
}

bool InBank(size_t offset, int32_t table) {
    const auto bank = static_cast<size_t>(table / tables::kBankSize * tables::kBankSize);
    return offset >= static_cast<size_t>(table) && offset < bank + static_cast<size_t>(tables::kBankSize);
}

void CheckListTable(std::string_view text, tables::TableFormat format, tables::ListTable table) {
    const tables::TableImage& image = ListImage();
    const tables::SpeciesLists lists = tables::ReadSpeciesLists(image);
    const tables::ImportedLists imported = tables::ReadListTable(text, format, table, image, lists);
    if (!imported.status.ok()) {
        for (const tables::Refusal& refusal : imported.status.refusals) {
            Expect(refusal.line >= 1, "a list refusal has a line");
            Expect(!refusal.message.empty(), "a list refusal says why");
        }
        return;
    }
    const tables::ListImportPlan plan = tables::PlanListImport(image, lists, imported);
    Expect(plan.after.size() == image.bytes.size(), "an import keeps the image's length");
    if (!plan.refusal.empty()) {
        Expect(table != tables::ListTable::Machines, "machines always fit");
        Expect(plan.after == image.bytes, "lists refused when laid in change nothing");
        return;
    }
    const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
    for (size_t i = 0; i < plan.after.size(); ++i) {
        if (plan.after[i] == image.bytes[i]) continue;
        Expect(InBank(i, row.tables.EvoMovePointerOffset) || InBank(i, row.eggMovePointerOffset) ||
                   i >= static_cast<size_t>(row.tables.BaseStatsOffset),
               "an import changes only base records, pointer tables and their lists");
    }
    const tables::SpeciesLists after = tables::ReadSpeciesLists(plan.after, image.profile, lists.layout);
    for (size_t p = 0; p < after.evoMoves.size(); ++p) {
        Expect(after.machines[p] == imported.machines[p], "machines read back as imported");
        Expect(after.evoMoves[p].place.readable() && after.eggMoves[p].place.readable(), "lists stay readable");
        Expect(after.evoMoves[p].evolutions == imported.evoMoves[p].evolutions, "evolutions read back as imported");
        Expect(after.evoMoves[p].moves == imported.evoMoves[p].moves, "moves read back as imported");
        Expect(after.eggMoves[p].moves == imported.eggMoves[p], "egg moves read back as imported");
    }
    tables::TableImage changed = image;
    changed.bytes = plan.after;
    const std::string exported = tables::ExportListTable(changed, after, table, format);
    const tables::ImportedLists again = tables::ReadListTable(exported, format, table, changed, after);
    Expect(again.status.ok(), "a list export is accepted");
    const tables::ListImportPlan same = tables::PlanListImport(changed, after, again);
    Expect(same.refusal.empty() && same.after == changed.bytes, "a list export imported again changes nothing");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rom::SetFailureReporter([](const rom::Failure& failure) {
        std::fprintf(stderr, "unexpected file access: %s\n", failure.description.c_str());
        std::abort();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const tables::TableFormat format = data[0] % 2 == 0 ? tables::TableFormat::Csv : tables::TableFormat::Json;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (const int pick = data[0] / 2 % 8; pick >= 4) {
        constexpr tables::ListTable kTables[] = {tables::ListTable::Machines, tables::ListTable::Evolutions,
                                                 tables::ListTable::Moves, tables::ListTable::EggMoves};
        CheckListTable(text, format, kTables[pick - 4]);
        return 0;
    }
    const tables::ImportedTable imported = tables::ReadTable(text, format, Image());

    if (!imported.ok()) {
        for (const tables::Refusal& refusal : imported.refusals) {
            Expect(refusal.line >= 1, "a refusal has a line");
            Expect(refusal.column >= 0, "a refusal's column is not negative");
            Expect(!refusal.message.empty(), "a refusal says why");
        }
        Expect(tables::PlanImport(Image(), imported).empty(), "a refused file plans no change");
        // With nothing planned, nothing is opened: the reporter would abort.
        Expect(tables::WriteChanges(Image(), tables::PlanImport(Image(), imported)), "a refused file writes nothing");
        return 0;
    }

    std::set<int32_t> positions;
    tables::TableImage exported = Image();
    for (const tables::ImportedRow& row : imported.rows) {
        Expect(row.position >= 0 && row.position < rom::kSpeciesCount, "positions lie in the list");
        Expect(positions.insert(row.position).second, "each position once");
        if (!row.name) continue;
        const tables::NameBytes& name = *row.name;
        Expect(name.size() == static_cast<size_t>(rom::kNameFieldLength), "a name fills its field");
        Expect(name[0] != rom::kNameEnd, "a name is not empty");
        const auto end = std::find(name.begin(), name.end(), rom::kNameEnd);
        Expect(std::all_of(end, name.end(), [](uint8_t b) { return b == rom::kNameEnd; }), "0x50 fills a name");
        Expect(tables::DecodeName(name, exported.names.charset).has_value(), "a name written decodes");
        exported.names.stored[static_cast<size_t>(row.position)] = name;
    }
    const tables::SpeciesTable result = tables::WithImportedRows(Image().table, imported);
    exported.table = result;
    for (const tables::TableFormat again : {tables::TableFormat::Csv, tables::TableFormat::Json}) {
        const tables::ImportedTable reread = tables::ReadTable(tables::ExportTable(exported, again), again);
        Expect(reread.ok(), "an export is accepted");
        Expect(tables::WithImportedRows(tables::SpeciesTable{}, reread) == result, "an export reads back unchanged");
        const tables::ImportedTable names = tables::ReadTable(tables::ExportTable(exported, again), again, exported);
        Expect(names.ok() && tables::PlanNameImport(exported, names).empty(), "exported names read back unchanged");
    }
    return 0;
}
