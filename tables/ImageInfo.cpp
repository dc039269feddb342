#include "tables/ImageInfo.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "rom/FieldConversions.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"

namespace tables {

namespace {

// The places a table may stand in a modified game: where each release of the
// version keeps it, and there moved as far as the base records moved.
using TableOf = int64_t (*)(const rom::ReleaseLayout&);
std::vector<int64_t> Candidates(rom::GameVersion version, int64_t base, TableOf table) {
    std::vector<int64_t> places;
    for (const rom::ReleaseLayout& row : rom::kReleaseLayouts) {
        if (row.version != version) continue;
        for (const int64_t at : {table(row), table(row) + base - row.tables.BaseStatsOffset}) {
            if (std::find(places.begin(), places.end(), at) == places.end()) places.push_back(at);
        }
    }
    return places;
}

// The one candidate `confirms` accepts, or none when none or several do.
std::optional<int64_t> OnlyConfirmed(const std::vector<int64_t>& candidates,
                                     const std::function<bool(int64_t)>& confirms) {
    std::optional<int64_t> found;
    for (const int64_t at : candidates) {
        if (!confirms(at)) continue;
        if (found) return std::nullopt;
        found = at;
    }
    return found;
}

bool CriesAt(std::span<const uint8_t> image, int64_t at) {
    const int64_t size = rom::EntrySize(rom::SpeciesTable::CryEntry);
    if (at < 0 || at + size * rom::kSpeciesCount > static_cast<int64_t>(image.size())) return false;
    for (int64_t k = 0; k < rom::kSpeciesCount; ++k) {
        if (image[static_cast<size_t>(at + k * size + 1)] != 0) return false;
    }
    return true;
}

// Every list of the pointer table at `at` readable (`eggs`: the egg move
// table, else the evolution/move table).
bool ListsAt(std::span<const uint8_t> image, int64_t at, bool eggs) {
    if (at < 0 || at + kPointerTableLength > static_cast<int64_t>(image.size())) return false;
    return !rom::FirstIncompleteList(image, at, eggs).has_value();
}

TablesHint HintFor(std::span<const uint8_t> image, rom::GameVersion version, int64_t base) {
    TablesHint hint;
    hint.base = base;
    hint.cries = OnlyConfirmed(Candidates(version, base, [](const rom::ReleaseLayout& row) -> int64_t { return row.tables.CryTableOffset; }),
                               [&](int64_t at) { return CriesAt(image, at); });
    hint.pointers = OnlyConfirmed(Candidates(version, base, [](const rom::ReleaseLayout& row) -> int64_t { return row.tables.EvoMovePointerOffset; }),
                                  [&](int64_t at) { return ListsAt(image, at, false); });
    hint.eggs = OnlyConfirmed(Candidates(version, base, [](const rom::ReleaseLayout& row) -> int64_t { return row.eggMovePointerOffset; }),
                              [&](int64_t at) { return ListsAt(image, at, true); });
    return hint;
}

}  // namespace

ImageInfo DescribeImage(std::span<const uint8_t> image, const std::string& path) {
    ImageInfo info;
    info.size = static_cast<int64_t>(image.size());
    info.header = rom::ReadCartridgeHeader(image);
    info.headerChecksumComputed = rom::HeaderChecksum(image);
    info.globalChecksumComputed = rom::GlobalChecksum(image);
    info.headerChecksumRight = info.size >= rom::kHeaderEnd && info.headerChecksumComputed == info.header.headerChecksum;
    info.globalChecksumRight = info.size >= rom::kHeaderEnd && info.globalChecksumComputed == info.header.globalChecksum;
    info.complete = rom::IsCompleteImage(image, info.size);
    info.version = VersionOfImage(image, path);
    info.versionFromTablesFile = info.version && !VersionOfImage(image);
    if (info.version) info.layout = rom::ResolveLayout(image, *info.version, path);
    info.market = rom::MarketOfCode(info.header.gameCode);
    info.sha1 = Sha1Hex(image);
    info.release = rom::FindReleaseBySha1(info.sha1);
    info.namedRelease = rom::FindReleaseLayout(info.header.gameCode, info.header.romVersion);
    // An image of no version has no layout; its names are still looked for.
    if (!info.version) info.layout.names = rom::LocateSpeciesNames(image);
    info.names = ReadImageNames(image, info.layout);
    if (info.complete && info.version && info.layout.kind == rom::ImageLayout::Unknown) {
        const std::vector<int64_t> places = rom::NumberedBaseRecordPlaces(image, 2);
        if (places.size() == 1) {
            info.numberedBaseRecords = places.front();
            info.tablesHint = HintFor(image, *info.version, places.front());
        }
    }
    return info;
}

}  // namespace tables
