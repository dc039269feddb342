// Hostile text for the reader of the ".tables" file beside an image.
//
// The text is read whole or refused whole: a refusal names a fault and a line
// that exists (0 for a fault of no single line); an accepted file has the four
// offsets, each on a line of its own that exists, all within 0 to 0x7FFFFFFF,
// and the lines written back from its offsets read to the same offsets; or a
// version, charset or other table's line and none of the four. Each line of
// the names, pictures and palettes is its own line that exists.

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "rom/TablesFile.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;

    const rom::TablesFileParse parse = rom::ParseTablesFile(text);
    if (!parse.file) {
        Require(!parse.fault.empty());
        Require(parse.line >= 0 && parse.line <= lines);
        return 0;
    }
    Require(parse.fault.empty());
    const rom::TablesFile& file = *parse.file;
    Require(file.version.has_value() == (file.versionLine > 0));
    std::set<int> used;
    bool anyOther = false;
    for (size_t other = 0; other < rom::kOtherTableCount; ++other) {
        const int line = file.otherLines[other];
        Require(file.others[other].has_value() == (line > 0) && line <= lines);
        if (!file.others[other]) continue;
        anyOther = true;
        Require(*file.others[other] >= 0 && used.insert(line).second);
    }
    if (!file.namesTables) {
        // Version, charset or other tables' lines alone: none of the four.
        Require(file.version.has_value() || file.charset.has_value() || anyOther);
        for (size_t entry = 0; entry < rom::kTablesEntryCount; ++entry) Require(file.lines[entry] == 0);
        return 0;
    }
    const rom::VersionProfile& p = file.profile;
    for (int32_t offset : {p.BaseStatsOffset, p.MenuIconOffset, p.CryTableOffset, p.EvoMovePointerOffset}) {
        Require(offset >= 0);
    }
    if (file.eggMovePointerOffset) Require(*file.eggMovePointerOffset >= 0);
    for (size_t entry = 0; entry < rom::kTablesEntryCount; ++entry) {
        const int line = file.lines[entry];
        const bool optional = static_cast<rom::TablesEntry>(entry) == rom::TablesEntry::Eggs;
        Require(line >= (optional ? 0 : 1) && line <= lines);
        Require((line == 0) == (optional && !file.eggMovePointerOffset));
        if (line > 0) Require(used.insert(line).second);
    }

    const rom::TablesFileParse again = rom::ParseTablesFile(rom::TablesFileText(p));
    Require(again.file.has_value() && again.file->profile == p);
    return 0;
}
