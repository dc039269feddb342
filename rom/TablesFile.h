#pragma once
// The ".tables" file beside an image: where a modified game keeps its species
// tables, written by its user as plain text.
//
//     # comments start with '#'
//     base = 0x51B0B
//     icons = 0x8E975
//     cries = 0xF2747
//     pointers = 0x427BD
//     eggs = 0x239FE      (optional: the egg move pointer table)
//     names = 0x53384     (optional, each on its own: the species names,
//     pictures = 0x120000  the picture pointers, the letter pictures of
//     letters = 0x124000   species 201, the egg picture of Gold and Silver,
//     egg = 0x7C000        the palettes; without a line, the game's code
//     palettes = 0xA8CE    says where they are)
//     version = crystal   (optional: crystal, gold or silver, for a game whose
//                          title no longer names its version)
//     charset = fr        (optional: the species names' character set, one
//                          of en, fr, de, es, ja; without it, the release's)
//
// The four offsets are given all together or not at all: a file without them
// (a version or charset line, the other tables) leaves the species tables to
// the game's code. A file is read whole or
// not at all: one fault anywhere refuses all of it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace rom {

// The name of the file that describes the image at `imagePath`.
std::string TablesFilePathOf(const std::string& imagePath);

// The longest file read; a real one is a few lines.
inline constexpr int64_t kLargestTablesFile = 64 * 1024;

// The entries of the file, in the order of its keys.
enum class TablesEntry { Base, Icons, Cries, Pointers, Eggs };
inline constexpr size_t kTablesEntryCount = 5;

// "base", "icons", "cries", "pointers", "eggs".
std::string_view TablesKey(TablesEntry entry);

// The tables besides the species tables that a file may name, each on its own.
enum class OtherTable { Names, Pictures, Letters, Egg, Palettes };
inline constexpr size_t kOtherTableCount = 5;

// "names", "pictures", "letters", "egg", "palettes".
std::string_view OtherTableKey(OtherTable table);

struct TablesFile {
    bool namesTables = false;  // false: no offset lines, the tables are the code's to say
    std::optional<GameVersion> version;
    int versionLine = 0;
    VersionProfile profile;
    std::optional<int32_t> eggMovePointerOffset;
    std::array<int, kTablesEntryCount> lines{};  // the line of each entry, 1-based; 0 for an absent "eggs"
    std::optional<std::string> charset;          // "en", "fr", "de", "es" or "ja"
    std::array<std::optional<int32_t>, kOtherTableCount> others{};  // by OtherTable; none: the code's
    std::array<int, kOtherTableCount> otherLines{};

    int LineOf(TablesEntry entry) const { return lines[static_cast<size_t>(entry)]; }
};

// The file's text read, or what is wrong with it: `line` (1-based; 0 when the
// fault is no single line's, such as a missing entry) and `fault`, a clause
// in lower case without a final full stop.
struct TablesFileParse {
    std::optional<TablesFile> file;
    int line = 0;
    std::string fault;
};

TablesFileParse ParseTablesFile(std::string_view text);

// The lines of a file for the given offsets, as `info` suggests them.
std::string TablesFileText(const VersionProfile& profile);

// "crystal", "gold", "silver": the value of a "version" line.
std::string_view TablesVersionName(GameVersion version);

}  // namespace rom
