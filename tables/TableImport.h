#pragma once
// Bringing an imported table into an image: the fields that change, and the
// write of only their changed bytes under the byte layer's rules (never grow,
// never create, every write checked before the first), flushed once.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tables/SpeciesTable.h"
#include "tables/TableDiff.h"
#include "tables/TableFormats.h"

namespace tables {

// The image's table with the imported rows put in; rows left out keep their
// values. Only for a table without refusals.
SpeciesTable WithImportedRows(const SpeciesTable& table, const ImportedTable& imported);

// The fields the import changes. Empty for a table with any refusal: a
// refused import changes nothing.
std::vector<FieldChange> PlanImport(const TableImage& image, const ImportedTable& imported);

// Writes the changed bytes of `changes` into image.path: adjacent changed
// bytes as one write, every write checked before the first, then one flush.
// No changes: nothing is opened or written. Returns false after a reported
// failure, which says what had been written by then.
bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes);

// Writes into the file at `path` the bytes in which `after` differs from
// `before` (both the whole image, of one length): adjacent changed bytes as
// one write, every write checked before the first, then one flush. No
// difference: nothing is opened or written. Returns false after a reported
// failure, which says what had been written by then.
bool WriteChangedBytes(const std::string& path, std::span<const uint8_t> before, std::span<const uint8_t> after);

}  // namespace tables
