#pragma once
// The list tables of export and import (--table machines, evolutions, moves,
// egg-moves): the work after the options are read.

#include <string>

#include "tables/ListTables.h"
#include "rom/ImageReplacement.h"
#include "tables/SpeciesRows.h"

namespace cli {

// The names --table takes, for messages and help.
inline constexpr const char* kTableNames = "species, machines, evolutions, moves, egg-moves or palettes";

// Exports the table of the image to standard output or to `output`.
int RunListExport(const std::string& image, tables::ListTable table, tables::TableFormat format,
                  const std::string& output);

// Imports the table file into the image (or only shows the changes).
int RunListImport(const std::string& image, const std::string& file, tables::ListTable table,
                  tables::TableFormat format, bool dryRun, rom::ImageWriteMode mode);

// The palettes table (--table palettes): export and import.
int RunPaletteExport(const std::string& image, tables::TableFormat format, const std::string& output);
int RunPaletteImport(const std::string& image, const std::string& file, tables::TableFormat format, bool dryRun,
                     rom::ImageWriteMode mode);

}  // namespace cli
