#include "cli/WorkbookCommands.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ListCommands.h"
#include "cli/Output.h"
#include "formats/Formats.h"
#include "tables/ImageFiles.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesRows.h"
#include "tables/TableImport.h"
#include "tables/WorkbookTables.h"

namespace cli {

bool IsWorkbook(const std::string& format, const std::string& file) {
    const auto named = format.empty() ? formats::FormatFromPath(file) : formats::FormatFromName(format);
    return named == formats::TableFormat::Xlsx;
}

int RunWorkbookExport(const std::string& imagePath, const std::string& output) {
    if (IsStandardOutputName(output) && isatty(STDOUT_FILENO)) {
        Message("A workbook is not text; give -o NAME.xlsx to write it to a file.");
        return kUsage;
    }
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    const tables::SpeciesLists lists = tables::ReadSpeciesLists(*image);
    const formats::WrittenWorkbook workbook =
        formats::WriteWorkbook(tables::ImageWorkbook(*image, lists, std::string(kProgramName) + " " + QUILLMERE_VERSION));
    if (!workbook.ok()) {
        Message(workbook.error + ". Nothing was written.");
        return kFailure;
    }
    if (!WriteOutput(output, workbook.bytes)) return kFailure;
    if (!lists.hasEggMoves) {
        Message("\"" + imagePath + "\" has no known egg move table, so the workbook has no Egg moves sheet (a "
                "\".tables\" file gives the table with an \"eggs\" line).");
    }
    bool complete = true;
    for (const tables::ListTable table : {tables::ListTable::Machines, tables::ListTable::Evolutions,
                                          tables::ListTable::Moves, tables::ListTable::EggMoves}) {
        for (const std::string& each : tables::UnreadableLists(lists, table)) {
            Message(imagePath + ": unreadable " + std::string(tables::ListTableName(table)) + " list of " + each +
                    "; the workbook has no rows for it.");
            complete = false;
        }
    }
    return complete ? kSuccess : kFailure;
}

int RunWorkbookImport(const WorkbookImportRequest& request) {
    tables::WorkbookImportOptions options;
    options.fromOtherImage = request.fromOtherImage;
    if (request.table) {
        options.onlySheet = tables::SheetOfTable(*request.table);
        if (!options.onlySheet) {
            Message("--table must be " + std::string(kTableNames) + "; it is \"" + *request.table + "\".");
            return kUsage;
        }
    }
    const std::optional<tables::TableImage> image = OpenImageOrSay(request.image);
    if (!image) return kFailure;
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(request.file, tables::kLargestTableFile, "workbook");
    if (!bytes) return kFailure;
    const std::string_view workbook(reinterpret_cast<const char*>(bytes->data()), bytes->size());

    const tables::WorkbookImport import = tables::PlanWorkbookImport(*image, workbook, options);
    for (const std::string& note : import.notes) Message(note);
    if (!import.failure.empty()) {
        const bool sentence = import.failure.ends_with('.');
        Message(request.file + ": " + import.failure + (sentence ? " " : ". ") + "Nothing was written.");
        return kFailure;
    }
    if (!import.refusals.empty()) {
        ReportRefusals(request.file, import.refusals, import.unlistedRefusals);
        return kFailure;
    }
    const bool same = import.after == image->bytes;
    if (!request.dryRun && !same &&
        !tables::WriteChangedBytes(image->path, image->bytes, import.after, request.mode)) {
        return kFailure;
    }
    size_t bytesChanged = 0;
    for (size_t i = 0; i < import.after.size(); ++i) bytesChanged += import.after[i] != image->bytes[i] ? 1 : 0;
    Data(import.changes);
    if (same) {
        Data("Nothing changed.\n");
    } else {
        Data(std::string(request.dryRun ? "Would change " : "Changed ") + "the data of " +
             Plural(import.speciesChanged, "species", "species") + " (" + Plural(bytesChanged, "byte", "bytes") +
             " of the image).\n");
    }
    if (request.dryRun) {
        // The room of each list area, and what the import would leave of it.
        const tables::SpeciesLists before = tables::ReadSpeciesLists(*image);
        const tables::SpeciesLists after = tables::ReadSpeciesLists(import.after, image->profile, before.layout);
        for (const tables::RoomOf area : {tables::RoomOf::EvoMoves, tables::RoomOf::EggMoves}) {
            if (const std::optional<std::string> room = tables::RoomLine(area, before, &after)) Data(*room + "\n");
        }
        Data("Dry run: nothing was written.\n");
    }
    return kSuccess;
}

}  // namespace cli
