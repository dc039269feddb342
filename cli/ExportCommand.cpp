// quillmere-cli export IMAGE [--table NAME] [--format csv|json] [-o FILE]: all 251 species.

#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/ListCommands.h"
#include "cli/Output.h"
#include "tables/ImageFiles.h"
#include "tables/SpeciesTable.h"
#include "tables/SpeciesRows.h"

namespace cli {

namespace {

struct ExportOptions {
    std::string image;
    std::string format;
    std::string output;
    std::string table = "species";
};

int RunExport(const ExportOptions& options) {
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
    if (!listTable && options.table != "species") {
        Message("--table must be " + std::string(kTableNames) + "; it is \"" + options.table + "\".");
        return kUsage;
    }
    if (OutputIsTheImageOrSay(options.output, options.image, "the export")) return kUsage;

    if (listTable) return RunListExport(options.image, *listTable, *format, options.output);
    const std::optional<tables::TableImage> image = OpenImageOrSay(options.image);
    if (!image) return kFailure;
    const std::string text = tables::ExportTable(*image, *format);
    return WriteOutput(options.output, text) ? kSuccess : kFailure;
}

}  // namespace

void AddExportCommand(CLI::App& app, CommandStatus& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = app.add_subcommand(
        "export", "Writes the data of all 251 species as a table: CSV (the default) or JSON, to standard output or "
                  "to a file.");
    command->add_option("IMAGE", options->image, "The image file (*.gbc)")->required();
    command->add_option("--table", options->table,
                        "species (the default: the 23 fields), machines, evolutions, moves or egg-moves");
    command->add_option("--format", options->format,
                        formats::FormatNames() + "; without it, the extension of the -o file, else csv");
    command->add_option("-o,--output", options->output,
                        "Write to this file instead of standard output (\"-\"): a file is replaced whole through a "
                        "temporary file, a link's file likewise, a device or pipe is written into");
    command->callback([options, &status] { status = {RunExport(*options), kFailure}; });
}

}  // namespace cli
