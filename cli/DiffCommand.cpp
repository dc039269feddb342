// quillmere-cli diff IMAGE1 IMAGE2: the species fields, machines and lists in
// which two images differ. Exit status as diff(1): 0 none differ, 1 some do, 2 on failure.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ListCommands.h"
#include "cli/Output.h"
#include "rom/VersionDetection.h"
#include "tables/ListDiff.h"
#include "tables/PaletteTable.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"
#include "tables/TableDiff.h"

namespace cli {

namespace {

constexpr int kSame = 0;
constexpr int kDifferent = 1;

struct DiffOptions {
    std::string first;
    std::string second;
    std::string table;  // empty: the fields and every list table
};

// The line that counts the species of `image` that can learn a machine the
// other image's version lacks (Crystal's tutor machines against Gold or
// Silver); empty when there are none.
std::string TutorLine(const tables::SpeciesLists& lists, const tables::TableImage& image,
                      rom::GameVersion otherVersion) {
    const size_t count = tables::SpeciesWithMachinesTheOtherLacks(lists, image.version, otherVersion);
    if (count == 0) return {};
    return "Tutor machines (MT01 to MT03): " + std::to_string(count) + " species" +
           " of \"" + image.path + "\" can learn some; " + std::string(rom::VersionCaption(otherVersion)) +
           " has none.\n";
}

int RunDiff(const DiffOptions& options) {
    const std::optional<tables::ListTable> only = tables::ListTableFromName(options.table);
    const bool fields = options.table.empty() || options.table == "species";
    const bool palettesOnly = options.table == "palettes";
    if (!fields && !only && !palettesOnly) {
        Message("--table must be " + std::string(kTableNames) + "; it is \"" + options.table + "\".");
        return kUsage;
    }
    std::optional<tables::TableImage> images[2];
    const std::string* paths[2] = {&options.first, &options.second};
    for (int i = 0; i < 2; ++i) {
        images[i] = OpenImageOrSay(*paths[i]);
        if (!images[i]) return kTrouble;
    }
    std::vector<tables::FieldChange> changes;
    std::vector<tables::ListChanges> listChanges;
    // The species' own names, each image's read with its own character set.
    const std::vector<tables::NameChange> names =
        fields ? tables::NameDifferences(images[0]->names, images[1]->names) : std::vector<tables::NameChange>{};
    size_t moved = 0;
    std::string tutored;  // the machines only one of the versions has
    if (fields && !options.table.empty()) {
        changes = tables::Differences(images[0]->table, images[1]->table);
    } else if (!palettesOnly) {
        const tables::SpeciesLists lists[2] = {tables::ReadSpeciesLists(*images[0]),
                                               tables::ReadSpeciesLists(*images[1])};
        // Egg moves are compared only when both images have a known egg move
        // table; one without it is said, never taken for "no egg moves".
        const int without = !lists[0].hasEggMoves ? 0 : !lists[1].hasEggMoves ? 1 : -1;
        if (without >= 0 && only == tables::ListTable::EggMoves) {
            Message("The egg moves cannot be compared: \"" + *paths[without] +
                    "\" has no known egg move table (an image of a known release has one; a \".tables\" file "
                    "gives it with an \"eggs\" line).");
            return kTrouble;
        }
        if (without >= 0 && !only && lists[1 - without].hasEggMoves) {
            Message("warning: egg moves were not compared: \"" + *paths[without] + "\" has no known egg move table.");
        }
        if (fields) {
            changes = tables::WithoutMovedPointers(tables::Differences(images[0]->table, images[1]->table), lists[0],
                                                   lists[1], moved);
        }
        listChanges = tables::ListDifferences(lists[0], images[0]->version, lists[1], images[1]->version, only);
        if (!only || only == tables::ListTable::Machines) {
            for (int i = 0; i < 2 && tutored.empty(); ++i) {
                tutored = TutorLine(lists[i], *images[i], images[1 - i]->version);
            }
        }
    }
    // The palettes, when both images have a known palette table.
    if (options.table.empty() || palettesOnly) {
        const tables::ImagePalettes palettes[2] = {tables::ReadImagePalettes(*images[0]),
                                                   tables::ReadImagePalettes(*images[1])};
        const int without = !palettes[0].located ? 0 : !palettes[1].located ? 1 : -1;
        if (without >= 0 && palettesOnly) {
            Message("The palettes cannot be compared: \"" + *paths[without] + "\" has no known palette table (" +
                    palettes[without].why + ").");
            return kTrouble;
        }
        if (without >= 0 && palettes[1 - without].located) {
            Message("warning: palettes were not compared: \"" + *paths[without] + "\" has no known palette table.");
        }
        tables::MergeChanges(listChanges, tables::PaletteDifferences(palettes[0], palettes[1]));
    }
    Data(tables::DescribeAllChanges(changes, listChanges, names));
    if (moved > 0) {
        Data("Pointers of " + std::to_string(moved) + " more species differ, each leading to the same evolutions "
             "and moves (the lists were packed again).\n");
    }
    Data(tutored);
    return changes.empty() && listChanges.empty() && names.empty() && moved == 0 && tutored.empty() ? kSame
                                                                                                   : kDifferent;
}

}  // namespace

void AddDiffCommand(Command app, CommandStatus& status) {
    auto options = std::make_shared<DiffOptions>();
    Command command = app.AddSubcommand(
        "diff", "Lists, for each species whose data differs between the two images, its name when renamed and each "
                "differing field with both values, and the changes of its machines, evolutions, level-up moves and egg moves. Exit status 0 "
                "when none differ, 1 when some do, 2 on failure.");
    command.AddOption("IMAGE1", options->first, "The first image").Required();
    command.AddOption("IMAGE2", options->second, "The second image").Required();
    command.AddOption("--table", options->table,
                      "Only species (the names and 23 fields), machines, evolutions, moves, egg-moves or palettes; "
                      "without it, all");
    command.OnRun([options, &status] { status = {RunDiff(*options), kTrouble}; });
}

}  // namespace cli
