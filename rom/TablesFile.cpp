#include "rom/TablesFile.h"

#include <algorithm>
#include <limits>

#include "rom/HexDigits.h"
#include "rom/SpeciesNames.h"

namespace rom {

namespace {

constexpr std::array<std::string_view, kTablesEntryCount> kKeys = {"base", "icons", "cries", "pointers", "eggs"};
constexpr std::array<std::string_view, kOtherTableCount> kOtherKeys = {"names", "pictures", "letters", "egg",
                                                                       "palettes"};

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// "0x" (or "0X") and one to eight hex digits, at most the largest signed
// 32-bit offset.
std::optional<int32_t> OffsetValue(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
    text.remove_prefix(2);
    if (text.size() > 8) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        const int digit = hexdigits::Value(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

TablesFileParse Fault(int line, std::string fault) {
    TablesFileParse parse;
    parse.line = line;
    parse.fault = std::move(fault);
    return parse;
}

std::string Hex(int32_t value) { return "0x" + hexdigits::Of(static_cast<uint32_t>(value)); }

}  // namespace

std::string TablesFilePathOf(const std::string& imagePath) { return imagePath + ".tables"; }

std::string_view TablesKey(TablesEntry entry) { return kKeys[static_cast<size_t>(entry)]; }

std::string_view OtherTableKey(OtherTable table) { return kOtherKeys[static_cast<size_t>(table)]; }

TablesFileParse ParseTablesFile(std::string_view text) {
    std::array<std::optional<int32_t>, kTablesEntryCount> values;
    TablesFile file;
    int charsetLine = 0;
    int lineNumber = 0;
    while (!text.empty() || lineNumber == 0) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        if (line.find('\0') != std::string_view::npos) return Fault(lineNumber, "the line holds a NUL byte: this is not a text file");
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty()) continue;

        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return Fault(lineNumber, "\"" + std::string(line) + "\" is not a line such as \"base = 0x51B0B\"");
        }
        const std::string_view key = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        if (key == "version") {
            if (file.version) {
                return Fault(lineNumber, "a second \"version\" line (the first is line " +
                                             std::to_string(file.versionLine) + ")");
            }
            for (const GameVersion version : {GameVersion::Crystal, GameVersion::Gold, GameVersion::Silver}) {
                if (value == TablesVersionName(version)) file.version = version;
            }
            if (!file.version) {
                return Fault(lineNumber, "\"" + std::string(value) + "\" is not a version: crystal, gold or silver");
            }
            file.versionLine = lineNumber;
            continue;
        }
        if (key == "charset") {
            if (charsetLine > 0) {
                return Fault(lineNumber, "a second \"charset\" line (the first is line " + std::to_string(charsetLine) +
                                             ")");
            }
            if (!IsNameCharset(value)) {
                return Fault(lineNumber, "\"" + std::string(value) + "\" is not a character set: en, fr, de, es or ja");
            }
            file.charset = std::string(value);
            charsetLine = lineNumber;
            continue;
        }
        size_t entry = 0;
        while (entry < kKeys.size() && kKeys[entry] != key) ++entry;
        size_t other = 0;
        while (other < kOtherKeys.size() && kOtherKeys[other] != key) ++other;
        if (entry == kKeys.size() && other == kOtherKeys.size()) {
            return Fault(lineNumber, "\"" + std::string(key) +
                                         "\" is not one of base, icons, cries, pointers, eggs, names, pictures, "
                                         "letters, egg, palettes, version, charset");
        }
        const bool species = entry < kKeys.size();
        const std::optional<int32_t>& before = species ? values[entry] : file.others[other];
        if (before) {
            return Fault(lineNumber, "a second \"" + std::string(key) + "\" line (the first is line " +
                                         std::to_string(species ? file.lines[entry] : file.otherLines[other]) + ")");
        }
        const std::optional<int32_t> offset = OffsetValue(value);
        if (!offset) {
            return Fault(lineNumber, "\"" + std::string(value) +
                                         "\" is not an offset written as 0x and at most eight hex digits, "
                                         "up to 0x7FFFFFFF");
        }
        if (!species) {
            file.others[other] = offset;
            file.otherLines[other] = lineNumber;
            continue;
        }
        values[entry] = offset;
        file.lines[entry] = lineNumber;
    }
    const bool anyOffset = std::any_of(values.begin(), values.end(), [](const auto& v) { return v.has_value(); });
    const bool anyOther =
        std::any_of(file.others.begin(), file.others.end(), [](const auto& v) { return v.has_value(); });
    if (!anyOffset && (file.version || file.charset || anyOther)) {
        TablesFileParse parse;
        parse.file = file;
        return parse;
    }
    for (size_t entry = 0; entry < kKeys.size(); ++entry) {
        if (!values[entry] && static_cast<TablesEntry>(entry) != TablesEntry::Eggs) {
            return Fault(0, "the file has no line \"" + std::string(kKeys[entry]) + " = 0x...\"");
        }
    }
    file.namesTables = true;
    file.profile = {*values[0], *values[1], *values[2], *values[3]};
    file.eggMovePointerOffset = values[static_cast<size_t>(TablesEntry::Eggs)];
    TablesFileParse parse;
    parse.file = file;
    return parse;
}

std::string TablesFileText(const VersionProfile& profile) {
    return "base = " + Hex(profile.BaseStatsOffset) + "\nicons = " + Hex(profile.MenuIconOffset) +
           "\ncries = " + Hex(profile.CryTableOffset) + "\npointers = " + Hex(profile.EvoMovePointerOffset) + "\n";
}

std::string_view TablesVersionName(GameVersion version) {
    switch (version) {
        case GameVersion::Crystal:
            return "crystal";
        case GameVersion::Gold:
            return "gold";
        case GameVersion::Silver:
            return "silver";
    }
    return "crystal";
}

}  // namespace rom
