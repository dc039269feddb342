#pragma once
// Bringing an imported table into an image: the fields that change, and the
// write of the new image. By default the image is replaced whole (a new file
// beside it, flushed and renamed over it), so that a failure or a kill leaves
// either the old image or the whole import; in place, only the changed bytes
// are written under the byte layer's rules (never grow, never create, every
// write checked before the first), flushed once.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rom/ImageReplacement.h"
#include "tables/SpeciesTable.h"
#include "tables/TableDiff.h"
#include "tables/SpeciesRows.h"

namespace tables {

// The image's table with the imported rows put in; rows and columns left out
// keep their values. Only for a table without refusals.
SpeciesTable WithImportedRows(const SpeciesTable& table, const ImportedTable& imported);

// The fields the import changes. Empty for a table with any refusal: a
// refused import changes nothing.
std::vector<FieldChange> PlanImport(const TableImage& image, const ImportedTable& imported);

// The names the import changes: each row's new name where it differs from
// the image's. Empty for a table with any refusal.
std::vector<NameChange> PlanNameImport(const TableImage& image, const ImportedTable& imported);

// Lays the changed fields into `after` (the image's bytes, or bytes of the
// same length made from them). False, with the reason in `failure`, when a
// changed field lies past the end of the image.
bool LayChanges(const TableImage& image, std::span<const FieldChange> changes, std::vector<uint8_t>& after,
                std::string& failure);
// The same with the changed names.
bool LayChanges(const TableImage& image, std::span<const FieldChange> changes, std::span<const NameChange> names,
                std::vector<uint8_t>& after, std::string& failure);

// Writes the import into image.path: `image.bytes` with the changed fields
// put in, through WriteChangedBytes. No changes: nothing is opened or
// written (the modification time is kept). A change past the end of the file
// writes nothing. Returns false after one reported failure.
bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes,
                  rom::ImageWriteMode mode = rom::ImageWriteMode::Whole);
// The same with the changed names, in one write.
bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes, std::span<const NameChange> names,
                  rom::ImageWriteMode mode = rom::ImageWriteMode::Whole);

// The write step of every import: `before` is the image as it was read (its
// whole length), `after` the image the import makes of it (the same length).
// When they are the same, nothing is opened or written. Whole: the image is
// checked first (rom::CheckWholeReplacement: refused with the way out of
// --in-place when a hard link or the folder would stop it), then `after` is
// written beside it, flushed and renamed over the file the path finally
// names, and the folder flushed. In place: each run of changed bytes is
// checked before the first write, then written, then the file is flushed
// once. Returns false after one reported failure, which says what the image
// holds now.
bool WriteChangedBytes(const std::string& path, std::span<const uint8_t> before, std::span<const uint8_t> after,
                       rom::ImageWriteMode mode = rom::ImageWriteMode::Whole);

}  // namespace tables
