// quillmere-cli info IMAGE [--json] [-o FILE]: what the image says about itself.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "rom/FieldConversions.h"
#include "rom/HexDigits.h"
#include "rom/ImageFacts.h"
#include "rom/ImageLength.h"
#include "rom/ReleaseLayouts.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tables/ImageFiles.h"
#include "tables/ImageInfo.h"
#include "tables/ImageLists.h"

namespace cli {

namespace {

struct InfoOptions {
    std::string image;
    bool json = false;
    bool tablesLines = false;
    std::string output;
};

// The real length, and the declared one when they differ.
std::string SizeText(const tables::ImageInfo& info, const rom::ImageLength& length) {
    std::string text = std::to_string(info.size) + " bytes";
    if (length.Differs()) {
        text += std::string(length.Shorter() ? ", shorter" : ", longer") + " than the " +
                std::to_string(*length.declared) + " its header declares";
    }
    return text;
}

std::string Hex2(int value) { return "0x" + rom::TwoDigitHex(value); }

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string Offset(int64_t value) { return "0x" + rom::hexdigits::Of(static_cast<uint64_t>(value)); }

std::string DestinationText(uint8_t code) {
    if (code == 0x00) return Hex2(code) + " (Japan)";
    if (code == 0x01) return Hex2(code) + " (outside Japan)";
    return Hex2(code) + " (no known destination)";
}

std::string MarketText(const tables::ImageInfo& info) {
    if (info.market) return std::string(*info.market) + " (from the game code's last letter)";
    return "unknown (the game code's last letter names none)";
}

// The four offsets in use, and the egg move pointer table when it is known.
std::string OffsetsText(const rom::ResolvedLayout& layout) {
    const rom::VersionProfile& p = *layout.profile;
    std::string text = "base records " + Offset(p.BaseStatsOffset) + ", menu icons " + Offset(p.MenuIconOffset) +
                       ", cries " + Offset(p.CryTableOffset) + ", pointers " + Offset(p.EvoMovePointerOffset);
    if (layout.eggMovePointerOffset) text += ", egg moves " + Offset(*layout.eggMovePointerOffset);
    return text;
}

std::string LayoutText(const tables::ImageInfo& info) {
    const rom::ResolvedLayout& layout = info.layout;
    const std::string name(rom::LayoutName(layout.kind));
    if (!layout.profile) {
        return info.version ? name + ": " + layout.refusal : name + " (no version is recognised)";
    }
    std::string source;
    if (layout.kind == rom::ImageLayout::Modified) {
        source = " based on " + std::string(rom::VersionCaption(info.version));
        if (layout.release != nullptr) source += " (its game code and revision name " + rom::ReleaseCaption(*layout.release) + ")";
    } else if (layout.release != nullptr) {
        source = ", " + rom::ReleaseCaption(*layout.release);
    }
    if (!layout.tablesFile.empty()) source = " \"" + layout.tablesFile + "\"";
    return name + source + ": " + OffsetsText(layout);
}

// Where the release the header names keeps a table, when it is elsewhere in
// this image.
std::optional<int64_t> MovedFrom(const rom::ResolvedLayout& layout, const rom::TableFact& fact) {
    if (layout.kind != rom::ImageLayout::Modified || layout.release == nullptr) return std::nullopt;
    const rom::ReleaseLayout& row = *layout.release;
    const std::vector<std::pair<std::string_view, int64_t>> released = {
        {"base", row.tables.BaseStatsOffset}, {"icons", row.tables.MenuIconOffset},
        {"cries", row.tables.CryTableOffset}, {"pointers", row.tables.EvoMovePointerOffset},
        {"eggs", row.eggMovePointerOffset}};
    for (const auto& [key, offset] : released) {
        if (key == fact.key && offset != fact.offset) return offset;
    }
    return std::nullopt;
}

// Each table with its offset and how it was proven.
std::string TablesText(const rom::ResolvedLayout& layout) {
    if (layout.tables.empty()) return {};
    std::string text = "\nTables:\n";
    for (const rom::TableFact& fact : layout.tables) {
        const std::string name(fact.name);
        text += "    " + name + ":" + std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') + Offset(fact.offset) +
                ", " + fact.proof;
        if (const std::optional<int64_t> from = MovedFrom(layout, fact)) {
            text += " (moved from " + Offset(*from) + ", where " + rom::ReleaseCaption(*layout.release) +
                    " keeps it)";
        }
        text += "\n";
    }
    return text;
}

std::string ReleaseText(const tables::ImageInfo& info) {
    if (info.release != nullptr) return rom::ReleaseCaption(*info.release) + ", unmodified";
    if (info.namedRelease != nullptr) {
        return "a known release, modified (the header names " + rom::ReleaseCaption(*info.namedRelease) + ")";
    }
    return "no (not a known release)";
}

// Where the tables of a refused complete image seem to stand, and how to say
// so; never used by any tool by itself. Lines the image does not confirm are
// left for the user to fill in.
std::string HintText(const tables::ImageInfo& info, const std::string& path) {
    if (!info.tablesHint) return {};
    const tables::TablesHint& hint = *info.tablesHint;
    const auto line = [](const char* key, const std::optional<int64_t>& at) {
        return "    " + std::string(key) + " = " + (at ? Offset(*at) : std::string("0x...")) + "\n";
    };
    const bool allConfirmed = hint.icons && hint.cries && hint.pointers && hint.eggs;
    return "\nHint: base records numbered 1 to 251 stand at " + Offset(hint.base) +
           " in this image, and nowhere else.\n"
           "If this is a modified game whose tables moved, write where its tables stand into \"" +
           rom::TablesFilePathOf(path) + "\":\n" + line("base", hint.base) + line("icons", hint.icons) +
           line("cries", hint.cries) + line("pointers", hint.pointers) + line("eggs", hint.eggs) +
           (allConfirmed ? std::string()
                         : "Fill in each 0x... first: the image does not confirm that table where a release keeps "
                           "it.\nFind it with the game's own tools or notes; the eggs line may be left out (egg "
                           "moves are then not known).\n") +
           "Comments start with #. Every tool then uses those offsets, once the image confirms them.\n";
}

// "at 0x53384, 10 bytes each; character set American and Australian (en)",
// with how many names do not decode; or why the names are not known.
std::string NamesText(const tables::ImageNames& names) {
    const std::string charset = "character set " + tables::CharsetCaption(names.charset);
    if (!names.table) return "not known (" + names.fault + "); " + charset;
    std::string text = "at " + Offset(names.table->offset) + ", " + std::to_string(names.table->fieldLength) +
                       " bytes each; " + charset;
    if (const size_t undecodable = names.Undecodable(); undecodable > 0) {
        text += "; " + std::to_string(undecodable) + (undecodable == 1 ? " name does" : " names do") +
                " not decode with it (shown as the bytes it holds, such as {8A 3F 50 ...})";
    }
    return text;
}

// The room of each list area, read with the image's layout; none when the
// layout is unknown.
struct ListRooms {
    rom::ListRoom evoMoves;
    std::optional<rom::ListRoom> eggMoves;
};

std::optional<ListRooms> RoomsOf(std::span<const uint8_t> bytes, const tables::ImageInfo& info) {
    if (!info.layout.profile) return std::nullopt;
    const rom::VersionProfile& profile = *info.layout.profile;
    const tables::SpeciesLists lists =
        rom::ReadSpeciesLists(bytes, profile, rom::ListLayoutOf(bytes, profile, info.layout));
    return ListRooms{rom::EvoMoveRoom(lists), rom::EggMoveRoom(lists)};
}

std::string RoomsText(const std::optional<ListRooms>& rooms) {
    if (!rooms) return "unknown (the layout is unknown)";
    return "evolutions and level-up moves: " + tables::RoomText(rooms->evoMoves) + "; egg moves: " +
           (rooms->eggMoves ? tables::RoomText(*rooms->eggMoves) : "none (no known egg move table)");
}

nlohmann::ordered_json RoomJson(const rom::ListRoom& room) {
    return {{"area", room.area},
            {"free", room.free ? nlohmann::ordered_json(*room.free) : nlohmann::ordered_json(nullptr)},
            {"grows", room.grows}};
}

std::string ChecksumText(bool right, const std::string& stored, const std::string& computed) {
    if (right) return stored + ", right";
    return stored + ", wrong (the bytes give " + computed + ")";
}

std::string AsText(const tables::ImageInfo& info, const rom::ImageLength& length, const std::string& path,
                   const std::optional<ListRooms>& rooms) {
    const std::optional<int64_t> declared = rom::DeclaredRomSize(info.header.romSizeByte);
    std::string romSize = Hex2(info.header.romSizeByte);
    romSize += declared ? " (declares " + std::to_string(*declared) + " bytes)" : " (declares no known size)";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"File", path},
        {"Size", SizeText(info, length)},
        {"Title", info.header.title},
        {"Game code", info.header.gameCode},
        {"Market", MarketText(info)},
        {"ROM version", Hex2(info.header.romVersion)},
        {"Destination code", DestinationText(info.header.destinationCode)},
        {"Cartridge type", Hex2(info.header.cartridgeType)},
        {"ROM size", romSize},
        {"Header checksum",
         ChecksumText(info.headerChecksumRight, Hex2(info.header.headerChecksum), Hex2(info.headerChecksumComputed))},
        {"Global checksum", ChecksumText(info.globalChecksumRight, Hex4(info.header.globalChecksum),
                                         Hex4(info.globalChecksumComputed))},
        {"Version", info.version ? std::string(rom::VersionCaption(info.version))
                                 : "none (not an image of a Kreblin version)"},
        {"Layout", LayoutText(info)},
        {"Species names", NamesText(info.names)},
        {"Released image", ReleaseText(info)},
        {"List room", RoomsText(rooms)},
        {"SHA-1", info.sha1},
    };
    std::string text;
    for (const auto& [name, value] : rows) {
        text += name + ":" + std::string(18 - name.size(), ' ') + value + "\n";
    }
    return text + TablesText(info.layout) + HintText(info, path);
}

std::string AsJson(const tables::ImageInfo& info, const rom::ImageLength& length, const std::string& path,
                   const std::optional<ListRooms>& rooms) {
    nlohmann::ordered_json out;
    out["file"] = path;
    out["size"] = info.size;
    out["declaredSize"] = length.declared ? nlohmann::ordered_json(*length.declared) : nlohmann::ordered_json(nullptr);
    out["title"] = info.header.title;
    out["gameCode"] = info.header.gameCode;
    out["market"] = info.market ? nlohmann::ordered_json(std::string(*info.market)) : nlohmann::ordered_json(nullptr);
    out["romVersion"] = info.header.romVersion;
    out["destinationCode"] = info.header.destinationCode;
    out["cartridgeType"] = info.header.cartridgeType;
    out["romSizeByte"] = info.header.romSizeByte;
    out["headerChecksum"] = {{"stored", info.header.headerChecksum},
                             {"computed", info.headerChecksumComputed},
                             {"right", info.headerChecksumRight}};
    out["globalChecksum"] = {{"stored", info.header.globalChecksum},
                             {"computed", info.globalChecksumComputed},
                             {"right", info.globalChecksumRight}};
    out["version"] = info.version ? nlohmann::ordered_json(std::string(rom::VersionCaption(info.version)))
                                  : nlohmann::ordered_json(nullptr);
    const auto orNull = [](bool present, auto value) {
        return present ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
    };
    const rom::ResolvedLayout& layout = info.layout;
    out["layout"] = std::string(rom::LayoutName(layout.kind));
    if (layout.profile) {
        out["tables"] = {{"base", layout.profile->BaseStatsOffset},
                         {"icons", layout.profile->MenuIconOffset},
                         {"cries", layout.profile->CryTableOffset},
                         {"pointers", layout.profile->EvoMovePointerOffset},
                         {"eggs", orNull(layout.eggMovePointerOffset.has_value(),
                                         layout.eggMovePointerOffset.value_or(0))}};
    } else {
        out["tables"] = nullptr;
    }
    out["layoutRelease"] = orNull(layout.release != nullptr,
                                  layout.release != nullptr ? rom::ReleaseCaption(*layout.release) : "");
    out["tablesFile"] = orNull(!layout.tablesFile.empty(), layout.tablesFile);
    out["versionFromTablesFile"] = info.versionFromTablesFile;
    nlohmann::ordered_json proofs = nlohmann::ordered_json::array();
    for (const rom::TableFact& fact : layout.tables) {
        const std::optional<int64_t> from = MovedFrom(layout, fact);
        proofs.push_back({{"table", std::string(fact.key)},
                          {"offset", fact.offset},
                          {"routine", orNull(fact.routineAt.has_value(), fact.routineAt.value_or(0))},
                          {"proof", fact.proof},
                          {"movedFrom", orNull(from.has_value(), from.value_or(0))}});
    }
    out["tableProofs"] = proofs;
    out["refusal"] = orNull(!layout.refusal.empty(), layout.refusal);
    out["names"] = {{"offset", orNull(info.names.table.has_value(), info.names.table ? info.names.table->offset : 0)},
                    {"fieldLength", orNull(info.names.table.has_value(),
                                           info.names.table ? info.names.table->fieldLength : 0)},
                    {"charset", std::string(tables::CharsetName(info.names.charset))},
                    {"undecodable", info.names.Undecodable()},
                    {"fault", orNull(!info.names.table, info.names.fault)}};
    out["release"] = orNull(info.release != nullptr, info.release != nullptr ? rom::ReleaseCaption(*info.release) : "");
    out["knownRelease"] = orNull(info.namedRelease != nullptr,
                                 info.namedRelease != nullptr ? rom::ReleaseCaption(*info.namedRelease) : "");
    out["modified"] = orNull(info.namedRelease != nullptr, info.release == nullptr);
    out["numberedBaseRecords"] =
        orNull(info.numberedBaseRecords.has_value(), info.numberedBaseRecords.value_or(0));
    if (info.tablesHint) {
        const tables::TablesHint& hint = *info.tablesHint;
        const auto at = [&](const std::optional<int64_t>& offset) { return orNull(offset.has_value(), offset.value_or(0)); };
        out["tablesHint"] = {{"base", hint.base}, {"icons", at(hint.icons)}, {"cries", at(hint.cries)},
                             {"pointers", at(hint.pointers)}, {"eggs", at(hint.eggs)}};
    } else {
        out["tablesHint"] = nullptr;
    }
    if (rooms) {
        out["listRoom"] = {{"evoMoves", RoomJson(rooms->evoMoves)},
                           {"eggMoves", rooms->eggMoves ? RoomJson(*rooms->eggMoves) : nlohmann::ordered_json(nullptr)}};
    } else {
        out["listRoom"] = nullptr;
    }
    out["sha1"] = info.sha1;
    return out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunInfo(const InfoOptions& options) {
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(options.image, tables::kLargestImage, "image");
    if (!bytes) return kFailure;
    if (!rom::HoldsHeader(static_cast<int64_t>(bytes->size()))) {
        Message(rom::TooShortMessage(options.image, static_cast<int64_t>(bytes->size())));
        return kFailure;
    }
    if (OutputIsTheImageOrSay(options.output, options.image, "the description")) return kUsage;
    const rom::ImageLength length = rom::LengthOf(*bytes);
    if (length.Differs()) Message(rom::LengthWarning(options.image, length));
    const tables::ImageInfo info = tables::DescribeImage(*bytes, options.image);
    if (options.tablesLines) {
        // The lines of a ".tables" file for what the image proved, for the
        // user to keep or correct; nothing when nothing is proven.
        if (info.layout.tables.empty()) {
            Message("\"" + options.image + "\": " +
                    (info.layout.refusal.empty() ? std::string("no table of this image is proven.")
                                                 : info.layout.refusal) +
                    " No lines are written.");
            return kFailure;
        }
        const std::optional<rom::GameVersion> named =
            info.versionFromTablesFile ? info.version : std::optional<rom::GameVersion>();
        return WriteOutput(options.output, rom::TablesFileLines(info.layout, named)) ? kSuccess : kFailure;
    }
    const std::optional<ListRooms> rooms = RoomsOf(*bytes, info);
    const std::string text =
        options.json ? AsJson(info, length, options.image, rooms) : AsText(info, length, options.image, rooms);
    if (!WriteOutput(options.output, text)) return kFailure;
    // The facts are shown, but a file of another kind is said to be one.
    const std::string notAnImage = tables::NotAKreblinImage(*bytes, options.image);
    if (notAnImage.empty()) return kSuccess;
    Message(notAnImage);
    return kFailure;
}

}  // namespace

void AddInfoCommand(Command app, CommandStatus& status) {
    auto options = std::make_shared<InfoOptions>();
    Command command = app.AddSubcommand(
        "info", "Shows the image's size, header fields, checksums, version, table layout (each table's offset "
                "and how the image proves it), whether it is an official release, unmodified or modified, and the "
                "room of its list areas (bytes free of the area's total for evolutions and level-up moves, and for "
                "egg moves).");
    command.AddOption("IMAGE", options->image, "The image file (*.gbc)").Required();
    command.AddFlag("--json", options->json, "Print the facts as one JSON object");
    command.AddFlag("--tables", options->tablesLines,
                    "Print only the lines of a \".tables\" file for the tables the image proves (and its "
                    "version, when the header does not name it), to keep beside the image or correct");
    command.AddOption("-o,--output", options->output,
                      "Write to this file instead of standard output (\"-\"), as export's -o does");
    command.OnRun([options, &status] { status = {RunInfo(*options), kFailure}; });
}

}  // namespace cli
