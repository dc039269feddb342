// Hostile table files for the CSV and JSON readers of the import.
//
// The first byte picks the reader (even: CSV, odd: JSON); the rest is the
// file. Invariants:
//  - a refused file plans no change, and bringing it into an image opens no
//    file (the image's path names no file, and any failure reported aborts);
//  - every refusal has a line from 1 on and a message;
//  - an accepted file names each position once, within 0 to 250, and its
//    table, exported and read again in either format, comes back unchanged.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "rom/FailureReporter.h"
#include "tables/SpeciesTable.h"
#include "tables/TableFormats.h"
#include "tables/TableImport.h"

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
        return made;
    }();
    return image;
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
    const tables::ImportedTable imported = tables::ReadTable(text, format);

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
    for (const tables::ImportedRow& row : imported.rows) {
        Expect(row.position >= 0 && row.position < rom::kSpeciesCount, "positions lie in the list");
        Expect(positions.insert(row.position).second, "each position once");
    }
    const tables::SpeciesTable result = tables::WithImportedRows(Image().table, imported);
    tables::TableImage exported = Image();
    exported.table = result;
    for (const tables::TableFormat again : {tables::TableFormat::Csv, tables::TableFormat::Json}) {
        const tables::ImportedTable reread = tables::ReadTable(tables::ExportTable(exported, again), again);
        Expect(reread.ok(), "an export is accepted");
        Expect(tables::WithImportedRows(tables::SpeciesTable{}, reread) == result, "an export reads back unchanged");
    }
    return 0;
}
