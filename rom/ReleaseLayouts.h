#pragma once
// The official releases of the three versions, as data: one row per release,
// with what identifies it (the header's game code and revision byte, the
// image's length and its SHA-1 when unmodified) and where its species tables
// and lists lie. A new release is one more row.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr int64_t kGameCodeOffset = 0x13F;  // four letters, 0x13F to 0x142
inline constexpr int64_t kGameCodeLength = 4;

struct ReleaseLayout {
    std::string_view gameCode;  // "BYTF": the last letter names the market
    uint8_t revision;           // the header byte at 0x14C
    GameVersion version;
    std::string_view market;    // "America", "French", ...
    int64_t imageSize;          // bytes of the whole image
    VersionProfile tables;      // species position 0 in each of the four tables
    int32_t eggMovePointerOffset;  // the egg move pointer table
    std::string_view sha1;      // of the unmodified image, 40 lowercase hex digits
};

extern const std::array<ReleaseLayout, 12> kReleaseLayouts;

// The row of the release with this game code and revision, or nullptr.
const ReleaseLayout* FindReleaseLayout(std::string_view gameCode, uint8_t revision);

// The row whose unmodified image has this SHA-1, or nullptr.
const ReleaseLayout* FindReleaseBySha1(std::string_view sha1);

// True when some row has this game code, whatever its revision.
bool IsKnownGameCode(std::string_view gameCode);

// The first American release of the version: the layout that images built by
// hand are checked against, as they always were.
const ReleaseLayout& FirstAmericanRelease(GameVersion version);

// "Kreblin Crystal Version (French)", "Kreblin Gold Version (Japanese, revision 1)".
std::string ReleaseCaption(const ReleaseLayout& release);

// "French release", "American release", "Japanese release, revision 1".
std::string ReleaseShortName(const ReleaseLayout& release);

// The market the last letter of a game code names ("E": "America", "F":
// "French", ...); nullopt for a letter no release uses.
std::optional<std::string_view> MarketOfCode(std::string_view gameCode);

// The four header bytes at 0x13F as text: printable ASCII bytes as they are,
// any other byte as "?". Bytes the image does not hold read as 0.
std::string GameCodeOf(std::span<const uint8_t> image);

}  // namespace rom
