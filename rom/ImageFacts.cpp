#include "rom/ImageFacts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>
#include <vector>

#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/HexDigits.h"
#include "rom/CodeRoutines.h"
#include "rom/HexFunctions.h"
#include "rom/SpeciesLists.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "rom/WholeFiles.h"

namespace rom {

namespace {

constexpr int64_t kHeaderChecksumFirst = 0x134;
constexpr int64_t kHeaderChecksumLast = 0x14C;

uint8_t ByteAt(std::span<const uint8_t> bytes, int64_t offset) {
    return offset >= 0 && offset < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(offset)] : 0;
}

// The part of `image` from `offset` on, `count` bytes long; shorter (or empty)
// where the image ends first.
std::span<const uint8_t> Range(std::span<const uint8_t> image, int64_t offset, int64_t count) {
    if (offset < 0 || offset >= static_cast<int64_t>(image.size())) return {};
    const int64_t available = static_cast<int64_t>(image.size()) - offset;
    return image.subspan(static_cast<size_t>(offset), static_cast<size_t>(std::min(count, available)));
}

// The longest image read whole: 32 KiB << 8, the largest a header declares.
constexpr int64_t kLargestWholeImage = int64_t{8} * 1024 * 1024;

constexpr int64_t kEggPointersLength = int64_t{kSpeciesCount} * 2;

int64_t TableLength(SpeciesTable table) { return int64_t{kSpeciesCount} * EntrySize(table); }

std::string Hex(int64_t value) { return "0x" + hexdigits::Of(static_cast<uint64_t>(value)); }
std::string ByteHex(int64_t value) { return "0x" + hexdigits::Of(static_cast<uint64_t>(value), 2); }

// Reads `count` bytes at `offset` of the image (bytes past its end are left
// out or read as 0); nullopt after a reported failure.
using Reader = std::function<std::optional<std::vector<uint8_t>>(int64_t offset, int64_t count)>;

// What the layout answer may look at: the image's length, its header bytes
// and any range of its bytes.
struct ImageSource {
    int64_t size = 0;
    std::span<const uint8_t> header;  // the first kHeaderEnd bytes (fewer: not complete)
    Reader read;
};

// Byte 0 of base record k holds the species number k + 1. The first record
// that does not (a record past the end of the range does not), or nullopt.
std::optional<int64_t> FirstMisnumberedRecord(std::span<const uint8_t> records) {
    const int64_t recordSize = EntrySize(SpeciesTable::BaseRecord);
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        const int64_t at = k * recordSize;
        if (at >= static_cast<int64_t>(records.size()) || records[static_cast<size_t>(at)] != k + 1) return k;
    }
    return std::nullopt;
}

// Byte 1 of every cry entry is 0 in the released images; no field lies there.
// The first entry where it is not, or nullopt.
std::optional<int64_t> FirstCryWithSecondByte(std::span<const uint8_t> cries) {
    const int64_t entrySize = EntrySize(SpeciesTable::CryEntry);
    for (int64_t k = 0; k < kSpeciesCount; ++k) {
        const int64_t at = k * entrySize + 1;
        if (at < static_cast<int64_t>(cries.size()) && cries[static_cast<size_t>(at)] != 0) return k;
    }
    return std::nullopt;
}

constexpr std::array<std::string_view, kTablesEntryCount> kTableNames = {
    "base records", "menu icons", "cry entries", "move/evolution pointers", "egg move pointers"};

std::string_view TableWords(TablesEntry entry) { return kTableNames[static_cast<size_t>(entry)]; }

int64_t LengthOf(TablesEntry entry) {
    switch (entry) {
        case TablesEntry::Base:
            return TableLength(SpeciesTable::BaseRecord);
        case TablesEntry::Icons:
            return TableLength(SpeciesTable::MenuIcon);
        case TablesEntry::Cries:
            return TableLength(SpeciesTable::CryEntry);
        case TablesEntry::Pointers:
        case TablesEntry::Eggs:
            return kEggPointersLength;
    }
    return 0;
}

// Whether the table of `entry` at `offset` confirms, as item by item the
// releases hold it: nullopt when it does, else what fails, a clause in lower
// case. Menu icons confirm wherever they fit in the image; pointer tables
// only when `lists` (an image built by hand keeps its old rules: its pointer
// tables only need to fit).
std::optional<std::string> ConfirmTable(std::span<const uint8_t> image, TablesEntry entry, int64_t offset,
                                        bool lists = true) {
    const int64_t size = static_cast<int64_t>(image.size());
    const std::string words(TableWords(entry));
    if (offset < 0 || offset + LengthOf(entry) > size) {
        return "the " + words + " at " + Hex(offset) + " would end at " + Hex(offset + LengthOf(entry)) +
               ", past the end of the image (" + Hex(size) + " bytes)";
    }
    const std::span<const uint8_t> table = Range(image, offset, LengthOf(entry));
    switch (entry) {
        case TablesEntry::Base:
            if (const std::optional<int64_t> k = FirstMisnumberedRecord(table)) {
                const int64_t at = *k * EntrySize(SpeciesTable::BaseRecord);
                return "the base records at " + Hex(offset) + " are not numbered 1 to 251 (the record at " +
                       Hex(offset + at) + " begins with " + ByteHex(table[static_cast<size_t>(at)]) + ", not " +
                       ByteHex(*k + 1) + ")";
            }
            return std::nullopt;
        case TablesEntry::Icons:
            return std::nullopt;
        case TablesEntry::Cries:
            if (const std::optional<int64_t> k = FirstCryWithSecondByte(table)) {
                const int64_t at = *k * EntrySize(SpeciesTable::CryEntry);
                return "the cry entries at " + Hex(offset) + " are not cry entries (byte 1 of the entry at " +
                       Hex(offset + at) + " is " + ByteHex(table[static_cast<size_t>(at + 1)]) +
                       ", not 0 as in every release)";
            }
            return std::nullopt;
        case TablesEntry::Pointers:
        case TablesEntry::Eggs:
            if (!lists) return std::nullopt;
            if (const std::optional<std::string> why = FirstIncompleteList(image, offset, entry == TablesEntry::Eggs)) {
                return "the " + words + " at " + Hex(offset) + " do not all lead to complete lists (" + *why + ")";
            }
            return std::nullopt;
    }
    return std::nullopt;
}

// What a confirmed table proves besides its place, for `info`.
std::string_view ContentsProof(TablesEntry entry) {
    switch (entry) {
        case TablesEntry::Base:
            return "numbered 1 to 251";
        case TablesEntry::Icons:
            return "";
        case TablesEntry::Cries:
            return "byte 1 of every entry 0";
        case TablesEntry::Pointers:
            return "every pointer leads to a complete evolution and move list in its bank";
        case TablesEntry::Eggs:
            return "every pointer leads to an egg move list ending with 0xFF in its bank";
    }
    return "";
}

// The base records' routine with its record size as an operand, looked for
// only when the routine for 32 bytes is missing, so that a game whose records
// are not 32 bytes long is told apart from one without the routine.
constexpr std::string_view kBaseRecordRoutineOfAnySize =
    "3E BB D7 FA ?? ?? FE FD 28 ?? 3D 01 NN 00 21 LL HH CD ?? ?? 11 ?? ?? 01 NN 00 CD";

struct TableRoutine {
    TablesEntry entry;
    std::string_view pattern;
    std::string_view entries;  // what the routine proves of the entries' size
};

constexpr std::array<TableRoutine, kTablesEntryCount> kTableRoutines = {{
    {TablesEntry::Base, kBaseRecordRoutine, "records of 32 bytes"},
    {TablesEntry::Icons, kMenuIconRoutine, "entries of 1 byte, in the routine's own bank"},
    {TablesEntry::Cries, kCryRoutine, "entries of 6 bytes"},
    {TablesEntry::Pointers, kEvoMovePointerRoutine, "pointers of 2 bytes"},
    {TablesEntry::Eggs, kEggMovePointerRoutine, "pointers of 2 bytes"},
}};

const std::vector<RoutinePattern>& ParsedRoutines() {
    static const std::vector<RoutinePattern> patterns = [] {
        std::vector<RoutinePattern> parsed;
        for (const TableRoutine& routine : kTableRoutines) parsed.emplace_back(routine.pattern);
        return parsed;
    }();
    return patterns;
}

// The table one routine proves, or why it proves none.
struct RoutineFinding {
    std::optional<TableFact> fact;
    std::string fault;
};

RoutineFinding FindTable(std::span<const uint8_t> image, const TableRoutine& routine, const RoutinePattern& pattern) {
    RoutineFinding finding;
    const std::string reads = "the routine through which the game reads its " + std::string(TableWords(routine.entry));
    const std::vector<RoutineMatch> matches = pattern.FindIn(image);
    if (matches.empty()) {
        // A routine that reads records of another size tells why.
        if (routine.entry == TablesEntry::Base) {
            static const RoutinePattern anySize(kBaseRecordRoutineOfAnySize);
            const std::vector<RoutineMatch> other = anySize.FindIn(image, 1);
            if (!other.empty()) {
                finding.fault = reads + " (at " + Hex(other.front().at) + ") reads records of " +
                                std::to_string(other.front().length.value_or(0)) + " bytes, not 32 as in every release";
                return finding;
            }
        }
        finding.fault = reads + " does not occur in it";
        return finding;
    }
    const RoutineMatch& first = matches.front();
    for (const RoutineMatch& match : matches) {
        if (match.TableOffset() != first.TableOffset()) {
            const auto where = [](const RoutineMatch& m) {
                return m.TableOffset() ? Hex(*m.TableOffset()) : std::string("an address outside 0x4000 to 0x7FFF");
            };
            finding.fault = reads + " occurs at " + Hex(first.at) + " and at " + Hex(match.at) +
                            ", giving two places (" + where(first) + " and " + where(match) + ")";
            return finding;
        }
    }
    const std::optional<int64_t> offset = first.TableOffset();
    if (!offset) {
        finding.fault = reads + " (at " + Hex(first.at) + ") gives the address 0x" +
                        hexdigits::Of(first.address, 4) + ", outside 0x4000 to 0x7FFF";
        return finding;
    }
    if (std::optional<std::string> why = ConfirmTable(image, routine.entry, *offset)) {
        finding.fault = reads + " (at " + Hex(first.at) + ") gives " + Hex(*offset) + ", but there " + *why;
        return finding;
    }
    TableFact fact;
    fact.name = TableWords(routine.entry);
    fact.key = TablesKey(routine.entry);
    fact.offset = *offset;
    fact.routineAt = first.at;
    fact.proof = "read by the routine at " + Hex(first.at) +
                 (matches.size() > 1 ? " (and " + std::to_string(matches.size() - 1) + " more giving the same place)"
                                     : std::string()) +
                 ", " + std::string(routine.entries);
    if (!ContentsProof(routine.entry).empty()) fact.proof += "; " + std::string(ContentsProof(routine.entry));
    finding.fact = std::move(fact);
    return finding;
}

// Whether the base records at `base` are numbered 1 to 251; nullopt after a
// reported failure.
std::optional<bool> NumberedAt(const ImageSource& image, int32_t base) {
    const std::optional<std::vector<uint8_t>> records = image.read(base, TableLength(SpeciesTable::BaseRecord));
    if (!records) return std::nullopt;
    return !FirstMisnumberedRecord(*records).has_value();
}

ResolvedLayout Unknown(std::string refusal) {
    ResolvedLayout layout;
    layout.refusal = std::move(refusal);
    return layout;
}

ResolvedLayout OfRelease(const ReleaseLayout& release) {
    ResolvedLayout layout;
    layout.kind = ImageLayout::Released;
    layout.profile = release.tables;
    layout.eggMovePointerOffset = release.eggMovePointerOffset;
    layout.release = &release;
    return layout;
}

// What a refusal of a complete image suggests.
std::string TablesFileAdvice(const std::string& imagePath) {
    const std::string name = imagePath.empty()
                                 ? std::string("named like the image plus \".tables\"")
                                 : "\"" + std::filesystem::path(TablesFilePathOf(imagePath)).filename().string() + "\"";
    return " If you know where its tables are, a file " + name + " beside it can say so.";
}

// The ".tables" file read, or its refusal (a layout whose refusal is set).
struct TablesFileRead {
    std::optional<TablesFile> file;
    std::string refusal;
};

TablesFileRead ReadTablesFile(const std::string& tablesPath) {
    const std::string quoted = "\"" + tablesPath + "\"";
    const auto where = [&](int line) {
        return line > 0 ? "Line " + std::to_string(line) + " of " + quoted + ": " : quoted + ": ";
    };
    TablesFileRead result;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(tablesPath, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        result.refusal = where(0) + "not a file of table offsets (it is not a regular file).";
        return result;
    }
    const FileRead read = ReadWholeFile(tablesPath, kLargestTablesFile);
    if (read.status != FileStatus::Done) {
        result.refusal = where(0) + "could not be read: " + read.reason + ".";
        return result;
    }
    const std::string_view text(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size());
    const TablesFileParse parse = ParseTablesFile(text);
    if (!parse.file) {
        result.refusal = where(parse.line) + parse.fault + ".";
        return result;
    }
    result.file = parse.file;
    return result;
}

// The ".tables" file's offsets when the image confirms them, else a refusal
// that names the file, the line and what failed.
ResolvedLayout FromTablesFile(std::span<const uint8_t> image, const TablesFile& file, const std::string& tablesPath) {
    std::vector<std::pair<TablesEntry, int64_t>> entries = {
        {TablesEntry::Base, file.profile.BaseStatsOffset},
        {TablesEntry::Icons, file.profile.MenuIconOffset},
        {TablesEntry::Cries, file.profile.CryTableOffset},
        {TablesEntry::Pointers, file.profile.EvoMovePointerOffset},
    };
    if (file.eggMovePointerOffset) entries.push_back({TablesEntry::Eggs, *file.eggMovePointerOffset});
    ResolvedLayout layout;
    layout.tablesFile = tablesPath;
    const bool complete = IsCompleteImage(image, static_cast<int64_t>(image.size()));
    // Every table must fit in the image before any is looked into.
    for (const bool contents : {false, true}) {
        for (const auto& [entry, offset] : entries) {
            const bool fits = offset >= 0 && offset + LengthOf(entry) <= static_cast<int64_t>(image.size());
            if (!contents && fits) continue;
            const std::optional<std::string> why = ConfirmTable(image, entry, offset, complete);
            if (why) {
                layout.refusal = "Line " + std::to_string(file.LineOf(entry)) + " of \"" + tablesPath + "\": " + *why + ".";
                return layout;
            }
        }
    }
    for (const auto& [entry, offset] : entries) {
        TableFact fact;
        fact.name = TableWords(entry);
        fact.key = TablesKey(entry);
        fact.offset = offset;
        fact.proof = "line " + std::to_string(file.LineOf(entry)) + " of the \".tables\" file";
        const bool listsChecked = complete || (entry != TablesEntry::Pointers && entry != TablesEntry::Eggs);
        if (!ContentsProof(entry).empty() && listsChecked) fact.proof += "; " + std::string(ContentsProof(entry));
        layout.tables.push_back(std::move(fact));
    }
    layout.kind = ImageLayout::TablesFile;
    layout.profile = file.profile;
    layout.eggMovePointerOffset = file.eggMovePointerOffset;
    return layout;
}

// A complete image: the tables its code proves, whatever its game code; a
// release when the game code and revision name one of the version and every
// table is where that release keeps it; otherwise a modified game.
ResolvedLayout FromCode(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath) {
    const CodeLocation located = LocateTablesByCode(image);
    if (!located.proven()) {
        return Unknown("This is a complete image of " + std::string(VersionCaption(version)) +
                       ", but where its tables lie is not proven: " + located.fault + "." +
                       TablesFileAdvice(imagePath));
    }
    const auto at = [&](TablesEntry entry) { return static_cast<int32_t>(located.tables[static_cast<size_t>(entry)].offset); };
    ResolvedLayout layout;
    layout.profile = VersionProfile{at(TablesEntry::Base), at(TablesEntry::Icons), at(TablesEntry::Cries),
                                    at(TablesEntry::Pointers)};
    layout.eggMovePointerOffset = at(TablesEntry::Eggs);
    layout.tables = located.tables;
    const ReleaseLayout* named =
        FindReleaseLayout(GameCodeOf(image), ByteAt(image, kRomVersionOffset));
    if (named != nullptr && named->version != version) named = nullptr;
    layout.release = named;
    const bool asReleased = named != nullptr && named->tables.BaseStatsOffset == layout.profile->BaseStatsOffset &&
                            named->tables.MenuIconOffset == layout.profile->MenuIconOffset &&
                            named->tables.CryTableOffset == layout.profile->CryTableOffset &&
                            named->tables.EvoMovePointerOffset == layout.profile->EvoMovePointerOffset &&
                            named->eggMovePointerOffset == layout.eggMovePointerOffset;
    layout.kind = asReleased ? ImageLayout::Released : ImageLayout::Modified;
    return layout;
}

// An image that is not complete, as images built by hand always were: the
// released offsets where its base records are numbered there (those of the
// release its header names, else those of the first American release of the
// version), else DefaultProfile.
std::optional<ResolvedLayout> FromHandBuiltRules(const ImageSource& image, GameVersion version) {
    const ReleaseLayout* named = FindReleaseLayout(GameCodeOf(image.header), ByteAt(image.header, kRomVersionOffset));
    for (const ReleaseLayout* release : {named, &FirstAmericanRelease(version)}) {
        if (release == nullptr || release->version != version) continue;
        const std::optional<bool> numbered = NumberedAt(image, release->tables.BaseStatsOffset);
        if (!numbered) return std::nullopt;
        if (*numbered) return OfRelease(*release);
    }
    ResolvedLayout layout;
    layout.kind = ImageLayout::HandBuilt;
    layout.profile = DefaultProfile(version);
    return layout;
}

// The names and picture tables a ".tables" line names, or the code's: each
// with its words in `info` and, for a picture table, which it is and where
// the located tables keep it.
struct OtherFact {
    OtherTable table;
    std::string_view name;
    PictureTable picture = PictureTable::Pointers;
    LocatedTable PictureTables::*located = nullptr;  // none for the names
};
constexpr std::array<OtherFact, kOtherTableCount> kOtherFacts = {{
    {OtherTable::Names, "species names"},
    {OtherTable::Pictures, "picture pointers", PictureTable::Pointers, &PictureTables::pointers},
    {OtherTable::Letters, "letter pictures", PictureTable::Letters, &PictureTables::letters},
    {OtherTable::Egg, "egg picture", PictureTable::Egg, &PictureTables::egg},
    {OtherTable::Palettes, "palettes", PictureTable::Palettes, &PictureTables::palettes},
}};

// Takes the ".tables" file's lines for the names and pictures, each confirmed
// as the code's would be; the refusal of the first that does not confirm.
std::optional<std::string> TakeOtherLines(std::span<const uint8_t> image, GameVersion version, const TablesFile& file,
                                          const std::string& tablesPath, ResolvedLayout& layout) {
    for (const OtherFact& other : kOtherFacts) {
        const std::optional<int32_t> offset = file.others[static_cast<size_t>(other.table)];
        if (!offset) continue;
        const std::string line = "Line " + std::to_string(file.otherLines[static_cast<size_t>(other.table)]) +
                                 " of \"" + tablesPath + "\": ";
        if (other.table == OtherTable::Names) {
            // The field's length: 5 for the Japanese character set, else 10.
            const NamesTable table{*offset, layout.charset == "ja" ? kJapaneseNameFieldLength : kNameFieldLength, 0, 0};
            if (std::optional<std::string> why = ConfirmSpeciesNames(image, table)) return line + *why + ".";
            layout.names = NamesLocation{table, {}};
            continue;
        }
        if (other.table == OtherTable::Egg && version == GameVersion::Crystal) {
            return line + "a Crystal game reads its egg picture as entry 253 of its picture pointers, so it has no "
                          "\"egg\" line.";
        }
        if (std::optional<std::string> why = ConfirmPictureTable(image, version, other.picture, *offset)) {
            return line + *why + ".";
        }
        layout.pictures.*other.located = LocatedTable{*offset, {}, std::nullopt, 0};
        if (other.table == OtherTable::Pictures && layout.pictures.eggInTable) layout.pictures.egg = layout.pictures.pointers;
    }
    return std::nullopt;
}

// How a table beside the species tables was proven: by the ".tables" file's
// line or by the routine that reads it, then by what it holds.
std::string OtherProof(const TablesFile* file, OtherTable table, std::optional<int64_t> routineAt, size_t routines,
                       std::string_view holds) {
    std::string proof;
    if (!routineAt) {
        proof = "line " + std::to_string(file != nullptr ? file->otherLines[static_cast<size_t>(table)] : 0) +
                " of the \".tables\" file";
    } else {
        proof = "read by the routine at " + Hex(*routineAt) +
                (routines > 1 ? " (and " + std::to_string(routines - 1) + " more giving the same place)" : std::string());
    }
    return proof + ", " + std::string(holds);
}

// The names, picture and palette tables of the image, each proven by the
// ".tables" file's line or by the game's code, added to the layout's tables
// when the species tables are proven too. A line that does not confirm
// refuses the file, as a species table's line does.
void AddOtherTables(std::span<const uint8_t> image, GameVersion version, const TablesFile* file,
                    const std::string& tablesPath, ResolvedLayout& layout) {
    layout.names = LocateSpeciesNames(image);
    layout.pictures = LocatePictureTables(image, version);
    if (file != nullptr) {
        if (std::optional<std::string> refusal = TakeOtherLines(image, version, *file, tablesPath, layout)) {
            NamesLocation names = std::move(layout.names);
            PictureTables pictures = std::move(layout.pictures);
            const std::string charset = layout.charset;
            layout = Unknown(std::move(*refusal));
            layout.tablesFile = tablesPath;
            layout.names = std::move(names);
            layout.pictures = std::move(pictures);
            layout.charset = charset;
            return;
        }
    }
    if (layout.tables.empty()) return;
    const auto add = [&](OtherTable table, int64_t offset, std::optional<int64_t> routineAt, size_t routines,
                         std::string_view holds) {
        TableFact fact;
        fact.name = kOtherFacts[static_cast<size_t>(table)].name;
        fact.key = OtherTableKey(table);
        fact.offset = offset;
        fact.routineAt = routineAt;
        fact.proof = OtherProof(file, table, routineAt, routines, holds);
        layout.tables.push_back(std::move(fact));
    };
    if (const std::optional<NamesTable>& names = layout.names.table) {
        const bool byCode = names->routines > 0;
        add(OtherTable::Names, names->offset, byCode ? std::optional<int64_t>(names->routineAt) : std::nullopt,
            names->routines,
            "fields of " + std::to_string(names->fieldLength) +
                " bytes; every field a name ending with 0x50 or filling its field");
    }
    const PictureTables& pictures = layout.pictures;
    const std::string banks =
        pictures.fixUp == BankFixUpKind::None || !pictures.fixUpList.offset
            ? std::string("stored banks are real (no bank fix-up routine)")
            : "stored banks turned into real ones through the list at " + Hex(*pictures.fixUpList.offset);
    const auto addPicture = [&](OtherTable table, const LocatedTable& located, const std::string& holds) {
        if (located.offset) add(table, *located.offset, located.routineAt, located.routines, holds);
    };
    addPicture(OtherTable::Pictures, pictures.pointers,
               std::to_string(version == GameVersion::Crystal ? kEggSpecies : kSpeciesCount) +
                   " entries of 6 bytes" + (version == GameVersion::Crystal ? " (the egg's the last)" : "") + "; " +
                   banks);
    addPicture(OtherTable::Letters, pictures.letters, "26 entries of 6 bytes, A to Z");
    if (!pictures.eggInTable) addPicture(OtherTable::Egg, pictures.egg, "a stream of 5 x 5 tiles");
    addPicture(OtherTable::Palettes, pictures.palettes, "entries of 8 bytes by species number");
}

// The layout of a whole image in memory.
ResolvedLayout ResolveWhole(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath) {
    std::optional<TablesFile> file;
    std::string tablesPath;
    if (!imagePath.empty()) {
        tablesPath = TablesFilePathOf(imagePath);
        if (PathExists(tablesPath)) {
            TablesFileRead read = ReadTablesFile(tablesPath);
            if (!read.file) {
                ResolvedLayout layout = Unknown(read.refusal);
                layout.tablesFile = tablesPath;
                layout.names = LocateSpeciesNames(image);
                return layout;
            }
            file = std::move(read.file);
        }
    }
    ResolvedLayout layout;
    if (file && file->namesTables) {
        layout = FromTablesFile(image, *file, tablesPath);
    } else if (IsCompleteImage(image, static_cast<int64_t>(image.size()))) {
        layout = FromCode(image, version, imagePath);
    } else {
        ImageSource source;
        source.size = static_cast<int64_t>(image.size());
        source.header = image.first(std::min(image.size(), static_cast<size_t>(kHeaderEnd)));
        source.read = [image](int64_t offset, int64_t count) {
            const std::span<const uint8_t> range = Range(image, offset, count);
            return std::optional<std::vector<uint8_t>>(std::in_place, range.begin(), range.end());
        };
        // Bytes in memory cannot fail to be read.
        layout = FromHandBuiltRules(source, version).value_or(ResolvedLayout{});
    }
    layout.charset = std::string(
        ImageCharset(layout.release, file && file->charset ? std::optional<std::string_view>(*file->charset)
                                                           : std::nullopt));
    // The file's other lines count once the species tables are known.
    AddOtherTables(image, version, file && layout.profile ? &*file : nullptr, tablesPath, layout);
    return layout;
}

// Reads `count` bytes at `offset` (bytes past the end read as 0); nullopt
// after a reported failure.
std::optional<std::vector<uint8_t>> ReadBytes(const std::string& path, int64_t offset, int64_t count) {
    const std::optional<std::string> hex =
        HexFunctions::TryReadHexBytes(path, static_cast<int32_t>(offset), static_cast<int32_t>(count));
    if (!hex) return std::nullopt;
    std::vector<uint8_t> bytes(hex->size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(hexdigits::Value((*hex)[2 * i]) * 16 + hexdigits::Value((*hex)[2 * i + 1]));
    }
    return bytes;
}

}  // namespace

uint8_t HeaderChecksum(std::span<const uint8_t> image) {
    uint8_t x = 0;
    for (int64_t offset = kHeaderChecksumFirst; offset <= kHeaderChecksumLast; ++offset) {
        x = static_cast<uint8_t>(x - ByteAt(image, offset) - 1);
    }
    return x;
}

uint16_t GlobalChecksum(std::span<const uint8_t> image) {
    // Eight bytes at a time, each word's bytes added pairwise in its lanes:
    // the same sum in a quarter of the instructions of a byte loop (every
    // `info`, `checksum` and import sums a whole image).
    constexpr uint64_t kBytes = 0x00FF00FF00FF00FFull;
    constexpr uint64_t kPairs = 0x0000FFFF0000FFFFull;
    uint64_t wide = 0;
    size_t at = 0;
    for (; at + 8 <= image.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, image.data() + at, 8);
        word = (word & kBytes) + ((word >> 8) & kBytes);
        word = (word & kPairs) + ((word >> 16) & kPairs);
        wide += (word & 0xFFFFFFFFull) + (word >> 32);
    }
    auto sum = static_cast<uint32_t>(wide);
    for (; at < image.size(); ++at) sum += image[at];
    sum -= ByteAt(image, kGlobalChecksumOffset);
    sum -= ByteAt(image, kGlobalChecksumOffset + 1);
    return static_cast<uint16_t>(sum);
}

std::optional<int64_t> DeclaredRomSize(uint8_t romSizeByte) {
    if (romSizeByte > 8) return std::nullopt;
    return int64_t{32 * 1024} << romSizeByte;
}

CartridgeHeader ReadCartridgeHeader(std::span<const uint8_t> image) {
    CartridgeHeader header;
    for (int64_t offset = kTitleOffset; offset < kTitleOffset + kTitleLength; ++offset) {
        const uint8_t byte = ByteAt(image, offset);
        if (byte >= 0x20 && byte < 0x7F) header.title.push_back(static_cast<char>(byte));
    }
    header.gameCode = GameCodeOf(image);
    header.cartridgeType = ByteAt(image, kCartridgeTypeOffset);
    header.romSizeByte = ByteAt(image, kRomSizeOffset);
    header.destinationCode = ByteAt(image, kDestinationOffset);
    header.romVersion = ByteAt(image, kRomVersionOffset);
    header.headerChecksum = ByteAt(image, kHeaderChecksumOffset);
    header.globalChecksum = static_cast<uint16_t>(ByteAt(image, kGlobalChecksumOffset) << 8 |
                                                  ByteAt(image, kGlobalChecksumOffset + 1));
    return header;
}

bool IsCompleteImage(std::span<const uint8_t> header, int64_t fileSize) {
    if (static_cast<int64_t>(header.size()) < kHeaderEnd || fileSize < kHeaderEnd) return false;
    if (HeaderChecksum(header) != header[kHeaderChecksumOffset]) return false;
    const std::optional<int64_t> declared = DeclaredRomSize(header[kRomSizeOffset]);
    return declared && *declared == fileSize;
}

std::string_view LayoutName(ImageLayout layout) {
    switch (layout) {
        case ImageLayout::Released:
            return "released";
        case ImageLayout::Modified:
            return "modified game";
        case ImageLayout::TablesFile:
            return "tables file";
        case ImageLayout::HandBuilt:
            return "hand-built";
        case ImageLayout::Unknown:
            return "unknown";
    }
    return "unknown";
}

std::string LayoutCaption(const ResolvedLayout& layout) {
    const std::string version(VersionCaption(layout.version));
    switch (layout.kind) {
        case ImageLayout::Released:
            return layout.release != nullptr ? ReleaseCaption(*layout.release) : version;
        case ImageLayout::Modified:
            return "a modified game based on " + version +
                   (layout.release != nullptr
                        ? " (game code and revision of the " + ReleaseShortName(*layout.release) + ")"
                        : std::string());
        case ImageLayout::TablesFile:
        case ImageLayout::HandBuilt:
        case ImageLayout::Unknown:
            break;
    }
    return version + " (" + std::string(LayoutName(layout.kind)) + " layout)";
}

CodeLocation LocateTablesByCode(std::span<const uint8_t> image) {
    CodeLocation location;
    const std::vector<RoutinePattern>& patterns = ParsedRoutines();
    for (size_t k = 0; k < kTableRoutines.size(); ++k) {
        RoutineFinding finding = FindTable(image, kTableRoutines[k], patterns[k]);
        if (!finding.fact) {
            location.tables.clear();
            location.fault = std::move(finding.fault);
            return location;
        }
        location.tables.push_back(std::move(*finding.fact));
    }
    return location;
}

ResolvedLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath) {
    ResolvedLayout layout = ResolveWhole(image, version, imagePath);
    layout.version = version;
    return layout;
}

std::optional<ResolvedLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version) {
    const std::optional<std::vector<uint8_t>> header = ReadBytes(path, 0, kHeaderEnd);
    if (!header) return std::nullopt;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        ReportFailure({error.value(), "Could not measure the length of \"" + path + "\": " + error.message() + "."});
        return std::nullopt;
    }
    // A complete image (at most 8 MiB, as its header declares) and an image
    // with a ".tables" file are looked at whole: their code and lists.
    if (IsCompleteImage(*header, static_cast<int64_t>(size)) || PathExists(TablesFilePathOf(path))) {
        const FileRead read = ReadWholeFile(path, kLargestWholeImage);
        if (read.status != FileStatus::Done) {
            ReportFailure({read.number, "Could not read \"" + path + "\": " + read.reason + "."});
            return std::nullopt;
        }
        return ResolveLayout(read.bytes, version, path);
    }
    ImageSource source;
    source.size = static_cast<int64_t>(size);
    source.header = *header;
    // Bytes past the end read as 0, and 0 is no species number: a short file
    // never shows numbered records.
    source.read = [&path](int64_t offset, int64_t count) { return ReadBytes(path, offset, count); };
    std::optional<ResolvedLayout> layout = FromHandBuiltRules(source, version);
    if (layout) {
        layout->version = version;
        layout->charset = std::string(ImageCharset(layout->release, std::nullopt));
    }
    return layout;
}

std::optional<GameVersion> ImageVersionOfFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> header(static_cast<size_t>(kHeaderEnd));
    file.read(reinterpret_cast<char*>(header.data()), kHeaderEnd);
    header.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return ImageVersion(header, static_cast<int64_t>(size), path);
}

std::optional<GameVersion> ImageVersion(std::span<const uint8_t> header, int64_t size, const std::string& imagePath) {
    const uint8_t byte = ByteAt(header, kVersionByteOffset);
    if (const std::optional<GameVersion> named = RecognizeVersion(TwoDigitHex(byte))) return named;
    if (imagePath.empty() || !IsCompleteImage(header, size)) return std::nullopt;
    const std::string tablesPath = TablesFilePathOf(imagePath);
    if (!PathExists(tablesPath)) return std::nullopt;
    const TablesFileRead read = ReadTablesFile(tablesPath);
    return read.file ? read.file->version : std::nullopt;
}

std::string TablesFileLines(const ResolvedLayout& layout, std::optional<GameVersion> version) {
    std::string text;
    if (version) text += "version = " + std::string(TablesVersionName(*version)) + "\n";
    for (const TableFact& fact : layout.tables) {
        if (fact.key.empty()) continue;
        text += std::string(fact.key) + " = " + Hex(fact.offset) + "\n";
    }
    return text;
}

std::vector<int64_t> NumberedBaseRecordPlaces(std::span<const uint8_t> image, size_t limit) {
    std::vector<int64_t> places;
    const int64_t recordSize = EntrySize(SpeciesTable::BaseRecord);
    const int64_t last = static_cast<int64_t>(image.size()) - (kSpeciesCount - 1) * recordSize - 1;
    for (int64_t offset = 0; offset <= last && places.size() < limit; ++offset) {
        if (image[static_cast<size_t>(offset)] != 1) continue;
        if (!FirstMisnumberedRecord(image.subspan(static_cast<size_t>(offset))).has_value()) places.push_back(offset);
    }
    return places;
}

}  // namespace rom
