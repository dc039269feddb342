// quillmere-cli export IMAGE [--format csv|json] [-o FILE]: all 251 species.

#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "tables/ImageFiles.h"
#include "tables/SpeciesTable.h"
#include "tables/TableFormats.h"

namespace cli {

namespace {

struct ExportOptions {
    std::string image;
    std::string format;
    std::string output;
};

int RunExport(const ExportOptions& options) {
    std::optional<tables::TableFormat> format = tables::TableFormat::Csv;
    if (!options.format.empty()) {
        format = tables::FormatFromName(options.format);
    } else if (!IsStandardOutputName(options.output)) {
        format = tables::FormatFromPath(options.output).value_or(tables::TableFormat::Csv);
    }
    if (!format) {
        Message("--format must be csv or json; it is \"" + options.format + "\".");
        return kUsage;
    }
    if (OutputIsTheImageOrSay(options.output, options.image, "the export")) return kUsage;

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
    command->add_option("--format", options->format,
                        "csv or json; without it, the extension of the -o file, else csv");
    command->add_option("-o,--output", options->output,
                        "Write to this file instead of standard output (\"-\"): a file is replaced whole through a "
                        "temporary file, a link's file likewise, a device or pipe is written into");
    command->callback([options, &status] { status = {RunExport(*options), kFailure}; });
}

}  // namespace cli
