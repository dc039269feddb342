#include "web/Session.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <utility>

#include "formats/Csv.h"
#include "formats/Formats.h"
#include "lists/ChoiceLists.h"
#include "lists/Moves.h"
#include "lists/ValueNames.h"
#include "patches/BpsPatch.h"
#include "patches/HeaderChecksums.h"
#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/ImageLength.h"
#include "rom/SpeciesLists.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tables/FileOrigin.h"
#include "tables/FieldText.h"
#include "tables/ImageFiles.h"
#include "tables/ListDiff.h"
#include "tables/ListTables.h"
#include "tables/ImagePictures.h"
#include "tables/PaletteTable.h"
#include "tables/PointerTargets.h"
#include "tables/SpeciesRows.h"
#include "tables/TableDiff.h"
#include "tables/TableImport.h"
#include "tables/WorkbookTables.h"

namespace web {

namespace {

using nlohmann::json;

json Refused(const std::string& message) { return {{"ok", false}, {"message", message}}; }

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A name the memory file system can take as one file in its folder.
std::string FileNameOf(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return "image.gbc";
    return name;
}

// The program a workbook's About sheet names.
#ifndef QUILLMERE_VERSION
#define QUILLMERE_VERSION "unknown"
#endif
constexpr char kProgram[] = "Quillmere page " QUILLMERE_VERSION;

// What the page advises when a workbook names another image: it opens one
// image, and carries no other image's lists or pointers into it.
constexpr std::string_view kOtherImageAdvice =
    "This page imports workbooks of the image it has open only: export this image's workbook and carry the "
    "changes into it (quillmere-cli import --from-other-image takes the sheets and columns it holds).";

// The refusals of a table file, listed as the command line lists them.
std::string RefusalsText(const tables::ImportedTable& status, const std::string& file) {
    std::string text;
    for (const tables::Refusal& each : status.refusals) {
        text += (file.empty() ? each.message : file + ": " + tables::RefusalText(each)) + "\n";
    }
    if (status.unlistedRefusals > 0) {
        text += file + ": ... and " + Plural(status.unlistedRefusals, "more refusal", "more refusals") +
                " (only the first " + std::to_string(tables::kMostRefusalsListed) + " are listed).\n";
    }
    if (!file.empty()) {
        text += Plural(status.RefusalCount(), "value or row was", "values or rows were") + " refused in \"" + file +
                "\". ";
    }
    return text + "Nothing was written.";
}

// The refusals of rows the page sent (a cell of the species table, one
// species' list): each named by what was edited and its column, without the
// line numbers of the file the page made of them, which the page never shows.
std::string PageRefusalsText(const tables::ImportedTable& status, const std::string& what) {
    std::string text;
    std::vector<std::string> said;
    for (const tables::Refusal& each : status.refusals) {
        // "HP of Bulbasaur" names its column already; "Evolutions of Eevee" does not.
        const bool named = each.columnName.empty() || what.starts_with(each.columnName + " of ");
        const std::string line = what + (named ? "" : ", " + each.columnName) + ": " + each.message;
        if (std::find(said.begin(), said.end(), line) != said.end()) continue;
        said.push_back(line);
        text += line + "\n";
    }
    return text + "Nothing was written.";
}

// A library warning about rows the page sent, less the line it names.
std::string WithoutLine(std::string warning) {
    const std::string mark = " at line ";
    const size_t at = warning.find(mark);
    if (at == std::string::npos) return warning;
    size_t end = at + mark.size();
    while (end < warning.size() && std::isdigit(static_cast<unsigned char>(warning[end]))) ++end;
    if (end == at + mark.size()) return warning;
    return warning.erase(at, end - at);
}

// The room of one pointer table's lists, as the packing counts it.
json RoomJson(const rom::ListRoom& room) {
    if (!room.free) return {{"area", room.area}, {"free", nullptr}};
    return {{"area", room.area}, {"free", *room.free}, {"grows", room.grows}};
}

// The least bytes one more row of a list takes: an evolution (method, one
// value, species; one more for a stats evolution), a level-up move (level,
// move), an egg move.
constexpr int kEvolutionBytes = 3;
constexpr int kLevelMoveBytes = 2;
constexpr int kEggMoveBytes = 1;

json EvoMoveRoomJson(const tables::SpeciesLists& lists) {
    json room = RoomJson(rom::EvoMoveRoom(lists));
    room["rowBytes"] = {{"evolutions", kEvolutionBytes}, {"moves", kLevelMoveBytes}};
    return room;
}

json EggMoveRoomJson(const tables::SpeciesLists& lists) {
    const std::optional<rom::ListRoom> found = rom::EggMoveRoom(lists);
    if (!found) return nullptr;
    json room = RoomJson(*found);
    room["rowBytes"] = {{"egg-moves", kEggMoveBytes}};
    return room;
}

// The words shown beside a value that is stored as a plain number (empty
// for the other fields).
std::string ReadableText(const rom::SpeciesField& field, const tables::FieldBytes& bytes) {
    const std::string_view column = field.control;
    if (column == "Growth") return lists::GrowthName(bytes[0]);
    if (column == "Groups") return lists::EggGroupsText(bytes[0]);
    if (column == "Gender") return lists::GenderText(bytes[0]);
    return {};
}

// What a column holds, for the page's column headers (their tooltips).
std::string_view ColumnHelp(std::string_view column) {
    static constexpr std::pair<std::string_view, std::string_view> kHelp[] = {
        {"RATE", "Capture rate: 3 is the hardest to catch, 255 the easiest."},
        {"EXP", "Base experience: the experience points a defeated creature of this species gives, before its "
                "level and the other factors."},
        {"Cycles", "Egg cycles: how long an egg takes to hatch, in cycles of 256 steps."},
        {"Size", "Picture size: the front picture's width and height in tiles, one hex digit each (55 is 5 by 5, "
                 "77 is 7 by 7)."},
        {"Growth", "Growth rate: how much experience each level needs (0 Medium Fast, 1 Slightly Fast, "
                   "2 Slightly Slow, 3 Medium Slow, 4 Fast, 5 Slow)."},
        {"Groups", "Egg groups: two groups, one hex digit each (17 is Monster and Grass)."},
        {"Gender", "Gender ratio: the chance of female, by the game's thresholds (0 all male, 31 1 in 8 female, "
                   "63 1 in 4, 127 1 in 2, 191 3 in 4, 254 all female, 255 no gender)."},
        {"Pointer", "Where the species' evolutions and level-up moves lie: a bank address, low byte first."},
        {"Pitch", "The cry's pitch."},
        {"Echo", "The cry's echo."},
        {"Length", "The cry's length."},
    };
    for (const auto& [name, help] : kHelp) {
        if (name == column) return help;
    }
    return {};
}

std::string Code(int value) { return rom::TwoDigitHex(value); }

json EvolutionRow(const tables::Evolution& e) {
    using tables::EvolutionMethod;
    const bool leveled = e.method == EvolutionMethod::Level || e.method == EvolutionMethod::Stats;
    const bool item = e.method == EvolutionMethod::Item || e.method == EvolutionMethod::Trade;
    return json::array({std::to_string(static_cast<int>(e.method)), leveled ? std::to_string(e.level) : "",
                        item ? Code(e.item) : "",
                        e.method == EvolutionMethod::Happiness ? std::to_string(e.when) : "",
                        e.method == EvolutionMethod::Stats ? std::to_string(e.stats) : "", std::to_string(e.into)});
}

json NumberedNames(int count, std::string (*text)(uint8_t)) {
    json names = json::array();
    for (int k = 1; k <= count; ++k) names.push_back({std::to_string(k), text(static_cast<uint8_t>(k))});
    return names;
}

std::string MethodName(uint8_t method) {
    return std::string(tables::MethodText(static_cast<tables::EvolutionMethod>(method)));
}

// The entries the page's lists offer: value and text, as the tables name them.
json ChoiceLists() {
    json moves = json::array();
    for (size_t k = 1; k < lists::kMoveList.size(); ++k) moves.push_back({std::to_string(k), tables::MoveText(k)});
    json species = json::array();
    for (int k = 1; k <= rom::kSpeciesCount; ++k) {
        species.push_back({std::to_string(k), tables::SpeciesNumberText(static_cast<uint8_t>(k))});
    }
    json items = json::array();
    for (int k = 0; k < 256; ++k) items.push_back({Code(k), tables::ItemText(static_cast<uint8_t>(k))});
    return {{"Move", moves},
            {"Into", species},
            {"Item", items},
            {"Method", NumberedNames(5, MethodName)},
            {"When", NumberedNames(3, tables::WhenText)},
            {"Stats", NumberedNames(3, tables::StatsText)}};
}

// A whole number typed into a level cell, or none.
std::optional<int> LevelOf(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos || last - first > 2) return std::nullopt;
    int level = 0;
    for (size_t k = first; k <= last; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return std::nullopt;
        level = level * 10 + (text[k] - '0');
    }
    return level;
}

// A new level-up move (row `added`, its level first) moved to its place by
// level: after the last row of the same or a lower level, so that it comes
// after the moves the species already learns at its level. A level that is
// no number stays where it is, for the import's reader to refuse. Gives the
// row's place in the rows.
size_t ByLevel(std::vector<std::vector<std::string>>& rows, size_t added) {
    if (added >= rows.size() || rows[added].empty()) return added;
    const std::optional<int> level = LevelOf(rows[added][0]);
    if (!level) return added;
    std::vector<std::string> row = std::move(rows[added]);
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(added));
    size_t at = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::optional<int> other = rows[k].empty() ? std::nullopt : LevelOf(rows[k][0]);
        if (other && *other <= *level) at = k + 1;
    }
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    return at;
}

// The page's row of row `sorted` of the rows after ByLevel moved row `added`
// to `at`: refused cells are marked where the page shows them.
int64_t PageRow(int64_t sorted, size_t added, size_t at) {
    const auto from = static_cast<int64_t>(added);
    const auto to = static_cast<int64_t>(at);
    if (sorted == to) return from;
    const int64_t without = sorted < to ? sorted : sorted - 1;
    return without < from ? without : without + 1;
}

// The cells a new row of each list needs before it is sent (the page judges
// a row once it is complete, or when it is left): an evolution's by its
// method (a trade's item may stay empty: a trade without a held item).
json RowNeeds() {
    using tables::EvolutionMethod;
    const auto method = [](EvolutionMethod m) { return std::to_string(static_cast<int>(m)); };
    return {{"evolutions",
             {{method(EvolutionMethod::Level), {"Level", "Into"}},
              {method(EvolutionMethod::Item), {"Item", "Into"}},
              {method(EvolutionMethod::Trade), {"Into"}},
              {method(EvolutionMethod::Happiness), {"When", "Into"}},
              {method(EvolutionMethod::Stats), {"Level", "Stats", "Into"}}}},
            {"moves", {"Level", "Move"}},
            {"egg-moves", {"Move"}}};
}

std::string_view ListWhat(tables::ListTable table) {
    switch (table) {
        case tables::ListTable::Machines:
            return "Machines";
        case tables::ListTable::Evolutions:
            return "Evolutions";
        case tables::ListTable::Moves:
            return "Level-up moves";
        case tables::ListTable::EggMoves:
            return "Egg moves";
    }
    return "";
}

// The tables the import and export take, by the names --table takes.
json TablesOf() {
    json names = json::array({"species"});
    for (const tables::ListTable table : {tables::ListTable::Machines, tables::ListTable::Evolutions,
                                          tables::ListTable::Moves, tables::ListTable::EggMoves}) {
        names.push_back(std::string(tables::ListTableName(table)));
    }
    names.push_back(std::string(tables::kPalettesTableName));
    return names;
}

// The table formats the import and export take: name and file extensions.
json FormatsOf() {
    json list = json::array();
    for (const formats::FormatEntry& entry : formats::kFormats) {
        json extensions = json::array();
        for (const std::string_view extension : entry.extensions) extensions.push_back("." + std::string(extension));
        // The workbook holds every table: the page's choice of table is not asked.
        list.push_back({{"name", std::string(entry.name)},
                        {"extensions", extensions},
                        {"allTables", entry.format == formats::TableFormat::Xlsx}});
    }
    return list;
}

// The move each machine teaches, in the order of the machine columns.
json MachineMoves(size_t count) {
    json moves = json::array();
    for (size_t k = 0; k < count; ++k) moves.push_back(tables::MoveText(lists::kMachines[k].move));
    return moves;
}

json FieldsOf() {
    json fields = json::array();
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        json entries = json::array();
        for (const std::string_view entry : tables::ListOf(field)) entries.push_back(std::string(entry));
        fields.push_back({{"column", std::string(field.control)},
                          {"caption", std::string(field.caption)},
                          {"help", std::string(ColumnHelp(field.control))},
                          {"readable", !ReadableText(field, tables::FieldBytes{}).empty()},
                          {"list", !entries.empty()},
                          {"entries", entries}});
    }
    return fields;
}

}  // namespace

Session::Session(std::string folder, std::string scratch) : folder_(std::move(folder)), scratch_(std::move(scratch)) {}

std::string Session::Said(std::string message) const {
    for (const std::string& folder : {folder_, scratch_}) {
        const std::string quoted = "\"" + folder + "/";
        for (size_t at = message.find(quoted); at != std::string::npos; at = message.find(quoted, at)) {
            message.replace(at, quoted.size(), "\"");
        }
    }
    return message;
}

std::string Session::Stem() const {
    const size_t dot = name_.rfind('.');
    return dot == std::string::npos || dot == 0 ? name_ : name_.substr(0, dot);
}

json Session::Fits(const std::string& what, const std::string& name, double size) {
    const int64_t limit = what == "image"        ? tables::kLargestImage
                          : what == "table file" ? tables::kLargestTableFile
                                                 : rom::kLargestTablesFile;
    if (size <= static_cast<double>(limit)) return {{"ok", true}};
    return Refused("Could not read the " + what + " \"" + name + "\": the file is " +
                   std::to_string(static_cast<int64_t>(size)) + " bytes, more than the " + std::to_string(limit) +
                   " this program reads.");
}

void Session::Forget() {
    original_.reset();
    current_.reset();
    steps_.clear();
    done_ = 0;
    if (path_.empty()) return;
    // The image opened before, and its ".tables" file, leave the page's memory.
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    std::filesystem::remove(rom::TablesFilePathOf(path_), ignored);
}

json Session::Open(const std::string& name, const std::vector<uint8_t>& bytes,
                   const std::optional<std::string>& tablesText) {
    // The new image is first read in the scratch folder, so that a refused
    // file leaves the image that is open, its edits and its steps untouched
    // (even one of the same name).
    const std::string fileName = FileNameOf(name);
    const std::string trial = scratch_ + "/" + fileName;
    std::error_code ignored;
    const auto removeTrial = [&] {
        std::filesystem::remove(trial, ignored);
        std::filesystem::remove(rom::TablesFilePathOf(trial), ignored);
    };
    rom::ScopedFailureCapture capture;
    const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string refusal;
    bool written = tables::ReplaceFileContents(trial, content);
    if (written && tablesText) written = tables::ReplaceFileContents(rom::TablesFilePathOf(trial), *tablesText);
    std::optional<tables::TableImage> image;
    if (written) image = tables::OpenTableImage(trial, refusal);
    if (!image) {
        removeTrial();
        return Refused(Said(capture.captured() ? capture.captured()->description : refusal));
    }

    Forget();
    name_ = fileName;
    path_ = folder_ + "/" + name_;
    std::error_code moved;
    std::filesystem::rename(trial, path_, moved);
    if (!moved && tablesText) {
        std::filesystem::rename(rom::TablesFilePathOf(trial), rom::TablesFilePathOf(path_), moved);
    }
    if (moved) {
        removeTrial();
        return Refused("\"" + name_ + "\" could not be opened: " + moved.message() + ".");
    }
    // The image read in the scratch folder now lies in the editing folder.
    image->path = path_;
    if (!image->resolved.tablesFile.empty()) image->resolved.tablesFile = rom::TablesFilePathOf(path_);

    original_ = image;
    current_ = std::move(image);
    originalLists_ = currentLists_ = tables::ReadSpeciesLists(*current_);
    const rom::ImageLength length = rom::LengthOf(current_->bytes);
    const rom::ResolvedLayout& layout = current_->resolved;
    return {{"ok", true},
            {"name", name_},
            {"caption", std::string(rom::VersionCaption(current_->version))},
            {"release", layout.kind == rom::ImageLayout::Released && layout.release != nullptr
                            ? rom::ReleaseCaption(*layout.release)
                            : ""},
            {"identity", rom::LayoutCaption(layout)},
            {"layout", std::string(rom::LayoutName(current_->layout))},
            {"note", length.Shorter() ? Said(rom::LengthWarning(path_, length)) : ""},
            {"columns", tables::ExportColumns()},
            {"charset", tables::CharsetCaption(current_->names.charset)},
            {"namesKnown", current_->names.table.has_value()},
            {"namesNote", current_->names.table ? "" : "The species' own names are not known: " +
                                                          current_->names.fault + "."},
            {"fields", FieldsOf()},
            {"machines", tables::ListTableColumns(tables::ListTable::Machines, current_->version)},
            {"machineMoves", MachineMoves(tables::MachineCount(current_->version))},
            {"choices", ChoiceLists()},
            {"rowNeeds", RowNeeds()},
            {"formats", FormatsOf()},
            {"tables", TablesOf()}};
}

json Session::Species() const {
    json rows = json::array();
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        json values = json::array();
        json readable = json::object();
        const tables::SpeciesValues& species = current_->table[static_cast<size_t>(p)];
        for (size_t f = 0; f < tables::kFieldCount; ++f) {
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            if (std::string text = ReadableText(field, species.fields[f]); !text.empty()) {
                readable[std::string(field.control)] = text;
            }
            if (tables::ListOf(field).empty()) {
                values.push_back(tables::ValueText(field, species.fields[f]));
            } else {
                values.push_back(species.fields[f][0]);
            }
        }
        json imageName = current_->names.table ? json(current_->names.TextOf(p)) : json(nullptr);
        rows.push_back({{"name", std::string(tables::SpeciesName(p))},
                        {"imageName", imageName},
                        {"values", values},
                        {"readable", readable}});
    }
    return {{"rows", rows}};
}

json Session::SetName(int position, const std::string& text) {
    // The name as a table file of one row, read as the import reads it.
    const std::string file = formats::CsvRecordLine(std::vector<std::string>{"Position", "Name"}) +
                             formats::CsvRecordLine(std::vector<std::string>{std::to_string(position), text});
    json answer = ImportSpecies(file, tables::TableFormat::Csv, {},
                                "Name of " + std::string(tables::SpeciesName(position)));
    if (answer["ok"]) {
        answer["value"] = current_->names.TextOf(position);
        answer["listsChanged"] = false;
    }
    return answer;
}

json Session::SetField(int position, const std::string& column, const std::string& text) {
    if (current_ && column == tables::kNameColumn && position >= 0 && position < rom::kSpeciesCount) {
        return SetName(position, text);
    }
    const rom::SpeciesField* field = tables::FieldOfColumn(column);
    if (!current_ || field == nullptr || position < 0 || position >= rom::kSpeciesCount) {
        return Refused("There is no field \"" + column + "\" of species " + std::to_string(position) + ".");
    }
    // The cell as a table file of one row and one column, read as the import reads it.
    const std::string file = formats::CsvRecordLine(std::vector<std::string>{"Position", column}) +
                             formats::CsvRecordLine(std::vector<std::string>{std::to_string(position), text});
    const auto p = static_cast<size_t>(position);
    const tables::EvoMoveList listsBefore = currentLists_.evoMoves[p];
    json answer = ImportSpecies(file, tables::TableFormat::Csv, {}, column + " of " +
                                std::string(tables::SpeciesName(position)));
    if (answer["ok"]) {
        const tables::FieldBytes& bytes = current_->table[p].fields[tables::FieldIndex(*field)];
        answer["value"] = tables::ValueText(*field, bytes);
        answer["readable"] = ReadableText(*field, bytes);
        // A new Pointer leads to other lists.
        const tables::EvoMoveList& listsAfter = currentLists_.evoMoves[p];
        answer["listsChanged"] = listsAfter.evolutions != listsBefore.evolutions ||
                                 listsAfter.moves != listsBefore.moves ||
                                 listsAfter.place.unreadable != listsBefore.place.unreadable;
    }
    return answer;
}

json Session::ImportSpecies(const std::string& text, tables::TableFormat format, const std::string& file,
                            const std::string& what) {
    tables::ImportedTable imported = tables::ReadTable(text, format, *current_);
    if (imported.ok()) tables::RefuseStrayPointers(*current_, imported);
    if (!imported.ok()) return Refused(file.empty() ? PageRefusalsText(imported, what) : RefusalsText(imported, file));
    const std::vector<tables::FieldChange> changes = tables::PlanImport(*current_, imported);
    const std::vector<tables::NameChange> names = tables::PlanNameImport(*current_, imported);
    const std::vector<uint8_t> before = current_->bytes;
    rom::ScopedFailureCapture capture;
    if (!tables::WriteChanges(*current_, changes, names)) return Failed(capture, "The change was not written.");
    return Finish(before, what);
}

json Session::Failed(const rom::ScopedFailureCapture& capture, const std::string& otherwise) const {
    return Refused(Said(capture.captured() ? capture.captured()->description : otherwise));
}

bool Session::Reload(std::string& message) {
    // The layout stays: it rests on bytes that no edit writes.
    rom::ScopedFailureCapture capture;
    std::optional<std::vector<uint8_t>> bytes = tables::ReadWholeFile(path_, tables::kLargestImage, "image");
    if (!bytes) {
        message = Said(capture.captured() ? capture.captured()->description : "The image could not be read again.");
        return false;
    }
    current_->bytes = std::move(*bytes);
    current_->table = tables::ReadSpeciesTable(current_->bytes, current_->profile);
    tables::RereadNames(current_->names, current_->bytes);
    currentLists_ = tables::ReadSpeciesLists(current_->bytes, current_->profile, currentLists_.layout);
    return true;
}

json Session::Finish(const std::vector<uint8_t>& before, const std::string& what) {
    std::string message;
    if (!Reload(message)) return Refused(message);
    const std::vector<uint8_t>& after = current_->bytes;
    Step step{what, {}};
    for (size_t i = 0; i < after.size() && i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        if (step.runs.empty() || step.runs.back().offset + static_cast<int64_t>(step.runs.back().after.size()) !=
                                     static_cast<int64_t>(i)) {
            step.runs.push_back({static_cast<int64_t>(i), {}, {}});
        }
        step.runs.back().before.push_back(before[i]);
        step.runs.back().after.push_back(after[i]);
    }
    if (step.runs.empty()) return {{"ok", true}, {"changed", false}};
    steps_.resize(done_);
    steps_.push_back(std::move(step));
    ++done_;
    return {{"ok", true}, {"changed", true}};
}

std::vector<uint8_t> Session::Applied(const Step& step, bool forward) const {
    std::vector<uint8_t> bytes = current_->bytes;
    for (const Run& run : step.runs) {
        const std::vector<uint8_t>& put = forward ? run.after : run.before;
        std::copy(put.begin(), put.end(), bytes.begin() + run.offset);
    }
    return bytes;
}

json Session::Walk(bool forward) {
    if (!current_ || (forward ? done_ == steps_.size() : done_ == 0)) return {{"ok", true}, {"changed", false}};
    const Step& step = steps_[forward ? done_ : done_ - 1];
    rom::ScopedFailureCapture capture;
    if (!tables::WriteChangedBytes(path_, current_->bytes, Applied(step, forward))) {
        return Failed(capture, "The image could not be written.");
    }
    std::string message;
    if (!Reload(message)) return Refused(message);
    const std::string what = step.what;
    done_ = forward ? done_ + 1 : done_ - 1;
    return {{"ok", true}, {"changed", true}, {"step", what}};
}

json Session::Undo() { return Walk(false); }

json Session::Redo() { return Walk(true); }

json Session::History() const {
    json steps = json::array();
    for (size_t k = 0; k < steps_.size(); ++k) steps.push_back({{"what", steps_[k].what}, {"done", k < done_}});
    if (!current_) return {{"canUndo", false}, {"canRedo", false}, {"steps", steps}, {"changes", ""}};
    size_t moved = 0;
    const std::vector<tables::FieldChange> fields = tables::WithoutMovedPointers(
        tables::Differences(original_->table, current_->table), originalLists_, currentLists_, moved);
    std::vector<tables::ListChanges> lists =
        tables::ListDifferences(originalLists_, original_->version, currentLists_, current_->version);
    tables::MergeChanges(lists, tables::PaletteDifferences(tables::ReadImagePalettes(*original_),
                                                           tables::ReadImagePalettes(*current_)));
    const std::vector<tables::NameChange> names = tables::NameDifferences(original_->names, current_->names);
    std::string changes = tables::DescribeAllChanges(fields, lists, names);
    if (moved > 0) {
        changes += "Pointers of " + std::to_string(moved) +
                   " more species differ, each leading to the same evolutions and moves (the lists were packed "
                   "again).\n";
    }
    return {{"canUndo", done_ > 0},
            {"canRedo", done_ < steps_.size()},
            {"steps", steps},
            {"changes", changes},
            {"room", EvoMoveRoomJson(currentLists_)},
            {"eggRoom", EggMoveRoomJson(currentLists_)}};
}

json Session::Lists(int position) const {
    if (!current_ || position < 0 || position >= rom::kSpeciesCount) return Refused("No such species.");
    const auto p = static_cast<size_t>(position);
    const tables::SpeciesLists& lists = currentLists_;
    json machines = json::array();
    for (size_t k = 0; k < tables::MachineCount(current_->version); ++k) {
        machines.push_back(tables::MachineBit(lists.machines[p], lists::kMachines[k].bit));
    }
    const tables::EvoMoveList& evoMoves = lists.evoMoves[p];
    json answer = {{"ok", true},
                   {"species", std::string(tables::SpeciesName(position))},
                   {"machines", machines},
                   {"evoMovesUnreadable", evoMoves.place.unreadable},
                   {"room", EvoMoveRoomJson(lists)},
                   {"eggRoom", EggMoveRoomJson(lists)}};
    json evolutions = json::array();
    for (const tables::Evolution& e : evoMoves.evolutions) evolutions.push_back(EvolutionRow(e));
    json moves = json::array();
    for (const tables::LevelMove& m : evoMoves.moves) {
        moves.push_back(json::array({std::to_string(m.level), std::to_string(m.move)}));
    }
    answer["evolutions"] = evolutions;
    answer["moves"] = moves;
    if (lists.hasEggMoves) {
        json eggs = json::array();
        for (const uint8_t move : lists.eggMoves[p].moves) eggs.push_back(json::array({std::to_string(move)}));
        answer["eggMoves"] = eggs;
        answer["eggMovesUnreadable"] = lists.eggMoves[p].place.unreadable;
    } else {
        answer["eggMoves"] = nullptr;
    }
    return answer;
}

json Session::SetList(int position, const std::string& table, std::vector<std::vector<std::string>> rows,
                      std::optional<size_t> added) {
    const std::optional<tables::ListTable> which = tables::ListTableFromName(table);
    if (!current_ || !which || position < 0 || position >= rom::kSpeciesCount) return Refused("No such list.");
    const size_t rowCount = rows.size();
    const size_t addedRow = added.value_or(0);
    const bool byLevel = *which == tables::ListTable::Moves && added.has_value();
    const size_t placed = byLevel ? ByLevel(rows, addedRow) : addedRow;
    // The rows as one species' part of the table file, read by the import's reader.
    const std::vector<std::string> columns = tables::ListTableColumns(*which, current_->version);
    std::string text = formats::CsvRecordLine(columns);
    const std::vector<std::vector<std::string>> given =
        rows.empty() ? std::vector<std::vector<std::string>>{std::vector<std::string>(columns.size() - 2)} : rows;
    for (const std::vector<std::string>& cells : given) {
        std::vector<std::string> record = {std::to_string(position), std::string(tables::SpeciesName(position))};
        record.insert(record.end(), cells.begin(), cells.end());
        record.resize(columns.size());
        text += formats::CsvRecordLine(record);
    }
    const std::string what = std::string(ListWhat(*which)) + " of " + std::string(tables::SpeciesName(position));
    json answer = ImportLists(*which, text, tables::TableFormat::Csv, {}, what);
    if (byLevel && answer.contains("places")) {
        for (json& place : answer["places"]) {
            const int64_t row = place["row"].get<int64_t>();
            if (row >= 0 && row < static_cast<int64_t>(rowCount)) place["row"] = PageRow(row, addedRow, placed);
        }
    }
    return answer;
}

json Session::ImportLists(tables::ListTable table, const std::string& text, tables::TableFormat format,
                          const std::string& file, const std::string& what) {
    if (table == tables::ListTable::EggMoves && !currentLists_.hasEggMoves) {
        return Refused("\"" + name_ + "\" has no known egg move table (an image of a known release has one; a "
                       "\".tables\" file gives it with an \"eggs\" line), so egg moves cannot be imported. "
                       "Nothing was written.");
    }
    const tables::ImportedLists imported = tables::ReadListTable(text, format, table, *current_, currentLists_);
    if (!imported.status.ok()) {
        json answer = Refused(file.empty() ? PageRefusalsText(imported.status, what)
                                           : RefusalsText(imported.status, file));
        // Where the page's own rows were refused: the row (the file's line
        // less its header) and the column.
        json places = json::array();
        for (const tables::Refusal& each : imported.status.refusals) {
            places.push_back({{"row", each.line - 2}, {"column", each.columnName}});
        }
        if (file.empty()) answer["places"] = places;
        return answer;
    }
    const tables::ListImportPlan plan = tables::PlanListImport(*current_, currentLists_, imported);
    if (!plan.refusal.empty()) return Refused(file.empty() ? what + ": " + plan.refusal : plan.refusal);
    const std::vector<uint8_t> before = current_->bytes;
    rom::ScopedFailureCapture capture;
    if (!tables::WriteChangedBytes(path_, before, plan.after)) return Failed(capture, "The change was not written.");
    json answer = Finish(before, what);
    // What the game makes of a list the rules take but warn about.
    std::string warnings;
    for (const std::string& warning : imported.warnings) {
        warnings += "warning: " + (file.empty() ? WithoutLine(warning) : warning) + "\n";
    }
    if (answer["ok"] && !warnings.empty()) answer["warning"] = warnings;
    return answer;
}

json Session::Import(const std::string& table, const std::string& fileName, const std::string& text) {
    if (!current_) return Refused("No image is open.");
    const std::optional<tables::TableFormat> format = tables::FormatFromPath(fileName);
    if (!format) {
        return Refused("Cannot tell the format of \"" + fileName + "\" from its name: it must be " +
                       formats::FormatNames() + ".");
    }
    if (json fits = Fits("table file", fileName, static_cast<double>(text.size())); !fits["ok"]) return fits;
    if (*format == tables::TableFormat::Xlsx) return ImportWorkbook(fileName, text);
    const std::string what = "Import of " + fileName;
    if (table == tables::kPalettesTableName) return ImportPalettes(text, *format, fileName, what);
    if (const std::optional<tables::ListTable> list = tables::ListTableFromName(table)) {
        return ImportLists(*list, text, *format, fileName, what);
    }
    return ImportSpecies(text, *format, fileName, what);
}

// Every table sheet as one import, checked whole before anything is written,
// its refusals listed as the command line lists them.
json Session::ImportWorkbook(const std::string& fileName, const std::string& bytes) {
    tables::WorkbookImportOptions options;
    options.otherImageAdvice = kOtherImageAdvice;
    const tables::WorkbookImport import = tables::PlanWorkbookImport(*current_, bytes, options);
    std::string notes;
    for (const std::string& note : import.notes) notes += note + "\n";
    if (!import.failure.empty()) {
        const bool sentence = import.failure.ends_with('.');
        return Refused(notes + fileName + ": " + import.failure + (sentence ? " " : ". ") + "Nothing was written.");
    }
    if (!import.refusals.empty()) {
        std::string text = notes;
        for (const std::string& each : import.refusals) text += fileName + ": " + each + "\n";
        if (import.unlistedRefusals > 0) {
            text += fileName + ": ... and " + Plural(import.unlistedRefusals, "more refusal", "more refusals") +
                    " (only the first " + std::to_string(tables::kMostRefusalsListed) + " are listed).\n";
        }
        return Refused(text + Plural(import.refusals.size() + import.unlistedRefusals, "value or row was",
                                     "values or rows were") +
                       " refused in \"" + fileName + "\". Nothing was written.");
    }
    const std::vector<uint8_t> before = current_->bytes;
    json answer = {{"ok", true}, {"changed", false}};
    if (import.after != before) {
        rom::ScopedFailureCapture capture;
        if (!tables::WriteChangedBytes(path_, before, import.after)) {
            return Failed(capture, "The change was not written.");
        }
        answer = Finish(before, "Import of " + fileName);
    }
    if (answer["ok"] && !notes.empty()) answer["warning"] = notes;
    return answer;
}

Download Session::ExportWorkbook() const {
    Download out{Stem() + "." + std::string(formats::EntryOf(tables::TableFormat::Xlsx).extensions.front()), {}, {},
                 false};
    const formats::WrittenWorkbook workbook =
        formats::WriteWorkbook(tables::ImageWorkbook(*current_, currentLists_, kProgram));
    if (!workbook.ok()) {
        out.message = workbook.error + ". Nothing was exported.";
        return out;
    }
    out.bytes.assign(workbook.bytes.begin(), workbook.bytes.end());
    out.ok = true;
    if (!currentLists_.hasEggMoves) {
        out.message = "\"" + name_ + "\" has no known egg move table, so the workbook has no Egg moves sheet (a "
                      "\".tables\" file gives the table with an \"eggs\" line). ";
    }
    for (const tables::ListTable table : {tables::ListTable::Machines, tables::ListTable::Evolutions,
                                          tables::ListTable::Moves, tables::ListTable::EggMoves}) {
        for (const std::string& each : tables::UnreadableLists(currentLists_, table)) {
            out.message += "Unreadable " + std::string(tables::ListTableName(table)) + " list of " + each +
                           "; the workbook has no rows for it. ";
        }
    }
    return out;
}

Download Session::SavedImage() const {
    Download out{name_, {}, {}, false};
    if (!current_) return out;
    const std::string copy = scratch_ + "/" + name_;
    rom::ScopedFailureCapture capture;
    const std::string_view content(reinterpret_cast<const char*>(current_->bytes.data()), current_->bytes.size());
    if (!tables::ReplaceFileContents(copy, content)) {
        out.message = Said(capture.captured() ? capture.captured()->description : "The image could not be made.");
        return out;
    }
    const patches::ChecksumFix fix = patches::FixChecksums(copy);
    out.message = Said(fix.message);
    std::optional<std::vector<uint8_t>> bytes;
    if (fix.ok()) bytes = tables::ReadWholeFile(copy, tables::kLargestImage, "image");
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);
    if (fix.cut) {
        // An image cut short cannot have right checksums: it is not given as
        // if they were.
        out.cut = true;
        out.message = "Not downloaded: \"" + name_ + "\" is shorter than its header declares (" +
                      std::to_string(current_->bytes.size()) + " bytes), so its checksums cannot be made right. "
                      "\"Download patch\" gives your edits as a patch, with the checksums as they are.";
        return out;
    }
    if (!fix.ok()) return out;
    if (!bytes) {
        out.message = Said(capture.captured() ? capture.captured()->description : "The image could not be read.");
        return out;
    }
    out.bytes = std::move(*bytes);
    out.ok = true;
    return out;
}

Download Session::Patch() const {
    Download image = SavedImage();
    Download out{Stem() + ".bps", {}, image.message, false};
    // An image cut short is patched with its checksums as they are.
    if (image.cut) image.bytes = current_->bytes;
    else if (!image.ok) return out;
    const patches::BytesResult patch = patches::CreateBps(original_->bytes, image.bytes);
    if (!patch.ok()) {
        out.message = patch.error;
        return out;
    }
    out.bytes = patch.bytes;
    out.message = "A patch of " + Plural(out.bytes.size(), "byte", "bytes") + " from the image as opened to " +
                  (image.cut ? std::string("the edited one, its checksums not fixed (the image is cut short).")
                             : std::string("the one \"Download image\" gives."));
    out.ok = true;
    return out;
}

Download Session::Export(const std::string& table, const std::string& format) const {
    Download out{{}, {}, {}, false};
    const std::optional<tables::TableFormat> chosen = tables::FormatFromName(format);
    const std::optional<tables::ListTable> list = tables::ListTableFromName(table);
    if (!current_ || !chosen || (!list && table != "species" && table != tables::kPalettesTableName)) {
        out.message = "No such table or format.";
        return out;
    }
    if (*chosen == tables::TableFormat::Xlsx) return ExportWorkbook();
    out.name = Stem() + "-" + table + "." + std::string(formats::EntryOf(*chosen).extensions.front());
    if (list == tables::ListTable::EggMoves && !currentLists_.hasEggMoves) {
        out.message = "\"" + name_ + "\" has no known egg move table (an image of a known release has one; a "
                      "\".tables\" file gives it with an \"eggs\" line). Nothing was exported.";
        return out;
    }
    if (table == tables::kPalettesTableName) {
        const tables::ImagePalettes palettes = tables::ReadImagePalettes(current_->bytes, PictureTablesOf());
        if (!palettes.located) {
            out.message = "\"" + name_ + "\" has no known palette table (" + palettes.why + "). Nothing was exported.";
            return out;
        }
        const std::string text = tables::ExportPalettes(*current_, palettes, *chosen);
        out.bytes.assign(text.begin(), text.end());
        out.ok = true;
        return out;
    }
    const std::string text = list ? tables::ExportListTable(*current_, currentLists_, *list, *chosen)
                                  : tables::ExportTable(*current_, *chosen);
    out.bytes.assign(text.begin(), text.end());
    out.ok = true;
    if (list) {
        const std::vector<std::string> unreadable = tables::UnreadableLists(currentLists_, *list);
        for (const std::string& each : unreadable) out.message += "Unreadable list of " + each + ". ";
        if (!unreadable.empty()) {
            out.message += Plural(unreadable.size(), "species has", "species have") +
                           " an unreadable list and no rows in the export.";
        }
    }
    return out;
}

const rom::PictureTables& Session::PictureTablesOf() const { return current_->resolved.pictures; }

namespace {

std::string Digits(const std::vector<uint8_t>& pixels) {
    std::string digits(pixels.size(), '0');
    for (size_t k = 0; k < pixels.size(); ++k) digits[k] = char('0' + pixels[k]);
    return digits;
}

std::string RgbText(const tables::Rgb& rgb) {
    std::string text = "#";
    for (const uint8_t channel : rgb) text += rom::TwoDigitHex(channel);
    return text;
}

}  // namespace

json Session::Front(int position) {
    if (!current_ || position < 0 || position >= rom::kSpeciesCount) return Refused("No such species.");
    const rom::PictureTables& tables = PictureTablesOf();
    const rom::Picture picture =
        rom::ReadPicture(current_->bytes, tables, {position + 1, -1, false}, tables::FrontDimOf(*current_, position));
    if (!picture.ok()) return Refused(picture.absent ? "No picture." : picture.refusal);
    json colours = json::array();
    const std::optional<rom::Palette> palette = rom::ReadPalette(current_->bytes, tables, position + 1);
    if (palette) {
        for (const tables::Rgb& rgb : tables::PictureColours(*palette, false)) colours.push_back(RgbText(rgb));
    }
    return {{"ok", true}, {"dim", picture.dim}, {"pixels", Digits(picture.pixels)}, {"colours", colours}};
}

json Session::Pictures(int position) {
    if (!current_ || position < 0 || position >= rom::kSpeciesCount) return Refused("No such species.");
    const rom::PictureTables& tables = PictureTablesOf();
    const int number = position + 1;
    json colours = json::object();
    if (const std::optional<rom::Palette> palette = rom::ReadPalette(current_->bytes, tables, number)) {
        for (size_t k = 0; k < tables::kPaletteColumns.size(); ++k) {
            colours[std::string(tables::kPaletteColumns[k])] = tables::ColourText((*palette)[k]);
        }
    }
    json pictures = json::array();
    json notes = json::array();
    const auto add = [&](int letter, bool back) {
        const int dim = back ? rom::kBackPictureDim : tables::FrontDimOf(*current_, position);
        const rom::Picture picture = rom::ReadPicture(current_->bytes, tables, {number, letter, back}, dim);
        const std::string kind = back ? "back" : "front";
        const std::string letterText = letter >= 0 ? std::string(1, char('A' + letter)) : "";
        if (picture.absent) return;
        if (!picture.ok()) {
            notes.push_back("The " + kind + " picture" + (letter >= 0 ? " of letter " + letterText : "") +
                            " is not shown: " + picture.refusal + ".");
            return;
        }
        pictures.push_back(
            {{"kind", kind}, {"letter", letterText}, {"dim", picture.dim}, {"pixels", Digits(picture.pixels)}});
    };
    if (number == rom::kLetterSpecies && tables.letters.offset) {
        for (int letter = 0; letter < rom::kLetterCount; ++letter) {
            add(letter, false);
            add(letter, true);
        }
    } else {
        add(-1, false);
        add(-1, true);
    }
    if (!tables.pointers.offset) notes.push_back("The pictures are not shown: " + tables.pointers.why + ".");
    if (!tables.palettes.offset) notes.push_back("The palette is not known: " + tables.palettes.why + ".");
    return {{"ok", true},
            {"name", std::string(tables::SpeciesName(position))},
            {"colours", colours},
            {"pictures", pictures},
            {"notes", notes}};
}

json Session::SetColour(int position, const std::string& column, const std::string& text) {
    if (!current_ || position < 0 || position >= rom::kSpeciesCount) return Refused("No such species.");
    // A picker gives any colour: the nearest one the game can store is taken.
    const tables::ColourRead read = tables::ReadColour(column, tables::SnappedColourText(text));
    if (!read.refusal.empty()) return Refused(read.refusal);
    const std::string value = tables::ColourText(read.colour);
    const std::string file = formats::CsvRecordLine(std::vector<std::string>{"Position", column}) +
                             formats::CsvRecordLine(std::vector<std::string>{std::to_string(position), value});
    json answer = ImportPalettes(file, tables::TableFormat::Csv, {}, column + " of " +
                                 std::string(tables::SpeciesName(position)));
    if (answer["ok"]) answer["value"] = value;
    return answer;
}

json Session::ImportPalettes(const std::string& text, tables::TableFormat format, const std::string& file,
                             const std::string& what) {
    const tables::ImagePalettes palettes = tables::ReadImagePalettes(current_->bytes, PictureTablesOf());
    const tables::ImportedPalettes imported = tables::ReadPaletteTable(text, format, *current_, palettes);
    if (!imported.status.ok()) return Refused(RefusalsText(imported.status, file));
    const std::vector<uint8_t> before = current_->bytes;
    const std::vector<uint8_t> after = tables::PlanPaletteImport(before, palettes, imported.palettes);
    if (after == before) return {{"ok", true}, {"changed", false}};
    rom::ScopedFailureCapture capture;
    if (!tables::WriteChangedBytes(path_, before, after)) return Failed(capture, "The change was not written.");
    return Finish(before, what);
}

}  // namespace web
