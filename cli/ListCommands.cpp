#include "cli/ListCommands.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "tables/FileOrigin.h"
#include "tables/ImageFiles.h"
#include "tables/ListDiff.h"
#include "tables/PaletteTable.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"
#include "tables/TableImport.h"

namespace cli {

namespace {

// Says which species have no rows because their list cannot be read.
void SayUnreadable(const std::vector<std::string>& unreadable, const std::string& image) {
    for (const std::string& each : unreadable) Message(image + ": unreadable list of " + each + ".");
    Message(Plural(unreadable.size(), "species has", "species have") +
            " an unreadable list in \"" + image + "\" and no rows in the export.");
}

std::string_view What(tables::ListTable table) {
    switch (table) {
        case tables::ListTable::Machines:
            return "machines";
        case tables::ListTable::Evolutions:
            return "evolutions";
        case tables::ListTable::Moves:
            return "level-up moves";
        case tables::ListTable::EggMoves:
            return "egg moves";
    }
    return "";
}

}  // namespace

int RunListExport(const std::string& imagePath, tables::ListTable table, tables::TableFormat format,
                  const std::string& output) {
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    const tables::SpeciesLists lists = tables::ReadSpeciesLists(*image);
    if (table == tables::ListTable::EggMoves && !lists.hasEggMoves) {
        Message("\"" + imagePath + "\" has no known egg move table (an image of a known release has one; a \".tables\" "
                "file gives it with an \"eggs\" line). "
                "Nothing was written.");
        return kFailure;
    }
    const std::string text = tables::ExportListTable(*image, lists, table, format);
    if (!WriteOutput(output, text)) return kFailure;
    const std::vector<std::string> unreadable = tables::UnreadableLists(lists, table);
    if (unreadable.empty()) return kSuccess;
    SayUnreadable(unreadable, imagePath);
    return kFailure;
}

int RunListImport(const std::string& imagePath, const std::string& file, tables::ListTable table,
                  tables::TableFormat format, bool dryRun, rom::ImageWriteMode mode) {
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    // The table file is read whole, with the species table's bound.
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(file, tables::kLargestTableFile, "table file");
    if (!bytes) return kFailure;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());

    const tables::SpeciesLists lists = tables::ReadSpeciesLists(*image);
    if (table == tables::ListTable::EggMoves && !lists.hasEggMoves) {
        Message("\"" + imagePath + "\" has no known egg move table (an image of a known release has one; a "
                "\".tables\" file gives it with an \"eggs\" line), so egg moves cannot be imported. Nothing was "
                "written.");
        return kFailure;
    }
    const tables::ImportedLists imported = tables::ReadListTable(text, format, table, *image, lists);
    const tables::ImportedTable& status = imported.status;
    if (!status.ok()) {
        ReportRefusals(file, status);
        return kFailure;
    }
    const tables::ListImportPlan plan = tables::PlanListImport(*image, lists, imported);
    if (!plan.refusal.empty()) {
        Message(plan.refusal);
        return kFailure;
    }
    for (const std::string& warning : imported.warnings) Message("warning: " + warning);
    const bool same = plan.after == image->bytes;
    if (!dryRun && !same && !tables::WriteChangedBytes(image->path, image->bytes, plan.after, mode)) return kFailure;

    // The changes as the image now reads them back.
    const tables::SpeciesLists changed = tables::ReadSpeciesLists(plan.after, image->profile, lists.layout);
    const std::vector<tables::ListChanges> changes =
        tables::ListDifferences(lists, image->version, changed, image->version, table);
    size_t bytesChanged = 0;
    for (size_t i = 0; i < plan.after.size() && !same; ++i) bytesChanged += plan.after[i] != image->bytes[i] ? 1 : 0;
    Data(tables::DescribeAllChanges({}, changes));
    if (changes.empty()) {
        Data("Nothing changed.\n");
    } else {
        Data(std::string(dryRun ? "Would change " : "Changed ") + "the " + std::string(What(table)) + " of " +
             Plural(changes.size(), "species", "species") + " (" + Plural(bytesChanged, "byte", "bytes") +
             " of the image).\n");
    }
    if (dryRun) {
        if (table != tables::ListTable::Machines) {
            const tables::RoomOf area =
                table == tables::ListTable::EggMoves ? tables::RoomOf::EggMoves : tables::RoomOf::EvoMoves;
            if (const std::optional<std::string> room = tables::RoomLine(area, lists, &changed)) Data(*room + "\n");
        }
        Data("Dry run: nothing was written.\n");
    }
    return kSuccess;
}

int RunPaletteExport(const std::string& imagePath, tables::TableFormat format, const std::string& output) {
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    const tables::ImagePalettes palettes = tables::ReadImagePalettes(*image);
    if (!palettes.located) {
        Message("\"" + imagePath + "\" has no known palette table (" + palettes.why + "). Nothing was written.");
        return kFailure;
    }
    return WriteOutput(output, tables::ExportPalettes(*image, palettes, format)) ? kSuccess : kFailure;
}

int RunPaletteImport(const std::string& imagePath, const std::string& file, tables::TableFormat format, bool dryRun,
                     rom::ImageWriteMode mode) {
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(file, tables::kLargestTableFile, "table file");
    if (!bytes) return kFailure;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    const tables::ImagePalettes palettes = tables::ReadImagePalettes(*image);
    const tables::ImportedPalettes imported = tables::ReadPaletteTable(text, format, *image, palettes);
    const tables::ImportedTable& status = imported.status;
    if (!status.ok()) {
        ReportRefusals(file, status);
        return kFailure;
    }
    const std::vector<uint8_t> after = tables::PlanPaletteImport(image->bytes, palettes, imported.palettes);
    const bool same = after == image->bytes;
    if (!dryRun && !same && !tables::WriteChangedBytes(image->path, image->bytes, after, mode)) return kFailure;
    const std::vector<tables::ListChanges> changes =
        tables::PaletteDifferences(palettes, tables::ReadImagePalettes(after, image->resolved.pictures));
    size_t bytesChanged = 0;
    for (size_t i = 0; i < after.size() && !same; ++i) bytesChanged += after[i] != image->bytes[i] ? 1 : 0;
    Data(tables::DescribeAllChanges({}, changes));
    if (changes.empty()) {
        Data("Nothing changed.\n");
    } else {
        Data(std::string(dryRun ? "Would change " : "Changed ") + "the palettes of " +
             Plural(changes.size(), "species", "species") + " (" + Plural(bytesChanged, "byte", "bytes") +
             " of the image).\n");
    }
    if (dryRun) Data("Dry run: nothing was written.\n");
    return kSuccess;
}

}  // namespace cli
