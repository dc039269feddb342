// quillmere-cli export IMAGE [--table NAME] [--format csv|json|xlsx] [-o FILE]: all 251 species; a
// workbook holds every table. export --pictures DIR IMAGE: every picture as a PNG file.

#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/ListCommands.h"
#include "cli/Output.h"
#include "cli/PictureCommands.h"
#include "cli/WorkbookCommands.h"
#include "lists/ValueNames.h"
#include "tables/ImageFiles.h"
#include "tables/SpeciesTable.h"
#include "tables/SpeciesRows.h"

namespace cli {

namespace {

struct ExportOptions {
    std::string image;
    std::string format;
    std::string output;
    std::string table;  // empty: the species table, or every table in a workbook
    std::string pictures;  // a folder: every picture as a PNG file instead of a table
};

int RunExport(const ExportOptions& options) {
    if (!options.pictures.empty()) {
        if (!options.table.empty() || !options.format.empty() || !options.output.empty()) {
            Message("--pictures writes every picture into its folder; --table, --format and -o are for tables.");
            return kUsage;
        }
        return RunPictureExport(options.image, options.pictures);
    }
    if (IsWorkbook(options.format, IsStandardOutputName(options.output) ? "" : options.output)) {
        if (!options.table.empty()) {
            Message("A workbook holds every table, one sheet each; --table is for csv and json.");
            return kUsage;
        }
        if (OutputIsTheImageOrSay(options.output, options.image, "the export")) return kUsage;
        return RunWorkbookExport(options.image, options.output);
    }
    std::optional<tables::TableFormat> format = tables::TableFormat::Csv;
    if (!options.format.empty()) {
        format = tables::FormatFromName(options.format);
    } else if (!IsStandardOutputName(options.output)) {
        format = tables::FormatFromPath(options.output).value_or(tables::TableFormat::Csv);
    }
    if (!format) {
        Message("--format must be " + formats::FormatNames() + "; it is \"" + options.format + "\".");
        return kUsage;
    }
    const std::optional<tables::ListTable> listTable = tables::ListTableFromName(options.table);
    if (!listTable && !options.table.empty() && options.table != "species" && options.table != "palettes") {
        Message("--table must be " + std::string(kTableNames) + "; it is \"" + options.table + "\".");
        return kUsage;
    }
    if (OutputIsTheImageOrSay(options.output, options.image, "the export")) return kUsage;

    if (options.table == "palettes") return RunPaletteExport(options.image, *format, options.output);
    if (listTable) return RunListExport(options.image, *listTable, *format, options.output);
    const std::optional<tables::TableImage> image = OpenImageOrSay(options.image);
    if (!image) return kFailure;
    const std::string text = tables::ExportTable(*image, *format);
    return WriteOutput(options.output, text) ? kSuccess : kFailure;
}

}  // namespace

namespace {

// What the coded columns of the tables mean, after the options: the
// files carry the stored values, and these say how to read them.
std::string CodedColumnsHelp() {
    std::string text = "What the coded columns mean (the files hold the values the image stores):\n";
    for (const std::string_view column : {"RATE", "EXP", "Size", "Cycles", "Growth", "Groups", "Gender"}) {
        text += "  " + std::string(column) + ": " + lists::ColumnNote(column) + "\n";
    }
    text += "  Machines (1: the species can learn it, 0: it cannot):";
    for (size_t k = 0; k < lists::kMachines.size(); ++k) {
        text += std::string(k % 6 == 0 ? "\n    " : ", ") + lists::MachineText(k);
    }
    return text + " (MT01 to MT03: Crystal only)\n";
}

}  // namespace

void AddExportCommand(Command app, CommandStatus& status) {
    auto options = std::make_shared<ExportOptions>();
    Command command = app.AddSubcommand(
        "export", "Writes the data of all 251 species as a table: CSV (the default) or JSON, to standard output or "
                  "to a file; or every table as one workbook (xlsx) to a file.");
    command.AddOption("IMAGE", options->image, "The image file (*.gbc)").Required();
    command.AddOption("--table", options->table,
                      "species (the default: the 23 fields), machines, evolutions, moves, egg-moves or palettes");
    command.AddOption("--format", options->format,
                      formats::FormatNames() + "; without it, the extension of the -o file, else csv");
    command.AddOption("--pictures", options->pictures,
                      "Write every picture instead, into this folder (made if it does not exist): NNN-front.png, "
                      "NNN-front-shiny.png, NNN-back.png, NNN-back-shiny.png per species, 201-A-front.png ... for "
                      "the letters, egg-front.png; indexed PNGs of 4 colours");
    command.AddOption("-o,--output", options->output,
                      "Write to this file instead of standard output (\"-\"): a file is replaced whole through a "
                      "temporary file, a link's file likewise, a device or pipe is written into");
    command.Footer(CodedColumnsHelp());
    command.OnRun([options, &status] { status = {RunExport(*options), kFailure}; });
}

}  // namespace cli
