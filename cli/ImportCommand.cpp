// quillmere-cli import IMAGE FILE [--table NAME] [--format csv|json|xlsx] [--dry-run]
// [--in-place] [--from-other-image]: writes an edited export back into the
// image, after checking every value.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ListCommands.h"
#include "cli/Output.h"
#include "cli/WorkbookCommands.h"
#include "tables/FileOrigin.h"
#include "tables/ImageFiles.h"
#include "tables/PointerTargets.h"
#include "tables/SpeciesTable.h"
#include "tables/TableDiff.h"
#include "tables/SpeciesRows.h"
#include "tables/TableImport.h"

namespace cli {

namespace {

struct ImportOptions {
    std::string image;
    std::string file;
    std::string format;
    std::string table;  // empty: the species table, or every sheet of a workbook
    bool dryRun = false;
    bool inPlace = false;
    bool fromOtherImage = false;
};

int RunImport(const ImportOptions& options) {
    const rom::ImageWriteMode mode = options.inPlace ? rom::ImageWriteMode::InPlace : rom::ImageWriteMode::Whole;
    if (IsWorkbook(options.format, options.file)) {
        WorkbookImportRequest request{options.image, options.file, std::nullopt, options.dryRun,
                                      options.fromOtherImage, mode};
        if (!options.table.empty()) request.table = options.table;
        return RunWorkbookImport(request);
    }
    if (options.fromOtherImage) {
        Message("--from-other-image is for workbooks (.xlsx).");
        return kUsage;
    }
    std::optional<tables::TableFormat> format;
    if (!options.format.empty()) {
        format = tables::FormatFromName(options.format);
        if (!format) {
            Message("--format must be " + formats::FormatNames() + "; it is \"" + options.format + "\".");
            return kUsage;
        }
    } else {
        format = tables::FormatFromPath(options.file);
        if (!format) {
            Message("cannot tell the format of \"" + options.file + "\" from its name; give --format " +
                    formats::FormatNames() + ".");
            return kUsage;
        }
    }
    const std::optional<tables::ListTable> listTable = tables::ListTableFromName(options.table);
    if (!listTable && !options.table.empty() && options.table != "species" && options.table != "palettes") {
        Message("--table must be " + std::string(kTableNames) + "; it is \"" + options.table + "\".");
        return kUsage;
    }
    if (options.table == "palettes") {
        return RunPaletteImport(options.image, options.file, *format, options.dryRun, mode);
    }
    if (listTable) return RunListImport(options.image, options.file, *listTable, *format, options.dryRun, mode);

    const std::optional<tables::TableImage> image = OpenImageOrSay(options.image);
    if (!image) return kFailure;
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(options.file, tables::kLargestTableFile, "table file");
    if (!bytes) return kFailure;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());

    tables::ImportedTable imported = tables::ReadTable(text, *format, *image);
    if (imported.ok()) tables::RefuseStrayPointers(*image, imported);
    if (!imported.ok()) {
        ReportRefusals(options.file, imported);
        return kFailure;
    }

    const std::vector<tables::FieldChange> changes = tables::PlanImport(*image, imported);
    const std::vector<tables::NameChange> names = tables::PlanNameImport(*image, imported);
    if (!options.dryRun && !tables::WriteChanges(*image, changes, names, mode)) return kFailure;

    Data(tables::DescribeChanges(changes, names));
    if (changes.empty() && names.empty()) {
        Data("Nothing changed.\n");
    } else {
        std::string what = changes.empty() ? "" : Plural(changes.size(), "field", "fields");
        if (!names.empty()) what += (what.empty() ? "" : " and ") + Plural(names.size(), "name", "names");
        Data(std::string(options.dryRun ? "Would change " : "Changed ") + what + " of " +
             Plural(tables::SpeciesCount(changes, names), "species", "species") + ".\n");
    }
    if (options.dryRun) Data("Dry run: nothing was written.\n");
    return kSuccess;
}

}  // namespace

void AddImportCommand(Command app, CommandStatus& status) {
    auto options = std::make_shared<ImportOptions>();
    Command command = app.AddSubcommand(
        "import", "Writes a table (an export, possibly edited) into the image. Every value is checked first; on any "
                  "refusal nothing is written. The image is replaced whole (a new file beside it, flushed and "
                  "renamed over it), so that a failure or a kill leaves it as it was or fully imported.");
    command.AddOption("IMAGE", options->image, "The image file (*.gbc)").Required();
    command.AddOption("FILE", options->file,
                      "The table to import (.csv or .json), or a workbook (.xlsx); export --help says what its coded "
                      "columns mean")
        .Required();
    command.AddOption("--table", options->table,
                      "species (the default: the 23 fields), machines, evolutions, moves, egg-moves or palettes");
    command.AddOption("--format", options->format, formats::FormatNames() + "; without it, the extension of FILE");
    command.AddFlag("--dry-run", options->dryRun, "Check and show the changes, write nothing");
    command.AddFlag("--in-place", options->inPlace,
                    "Write only the changed bytes into the image itself (for an image with other hard links or in "
                    "a folder that cannot take a new file); a failure can leave part of the import");
    command.AddFlag("--from-other-image", options->fromOtherImage,
                    "Take a workbook whose About sheet names another version or release: only the sheets and "
                    "columns it holds");
    command.OnRun([options, &status] { status = {RunImport(*options), kFailure}; });
}

}  // namespace cli
