#include "rom/ReleaseLayouts.h"

#include "rom/VersionDetection.h"

namespace rom {

namespace {
constexpr int64_t k1MiB = 1024 * 1024;
constexpr int64_t k2MiB = 2 * k1MiB;
}  // namespace

// Each row was read off the unmodified image whose SHA-1 it gives.
const std::array<ReleaseLayout, 12> kReleaseLayouts = {{
    {"AAUE", 0, GameVersion::Gold, "America", k2MiB, {0x51B0B, 0x8E975, 0xF2747, 0x427BD}, 0x239FE,
     "d8b8a3600a465308c9953dfa04f0081c05bdcb94"},
    {"AAXE", 0, GameVersion::Silver, "America", k2MiB, {0x51B0B, 0x8E95B, 0xF2747, 0x427BD}, 0x239FE,
     "49b163f7e57702bc939d642a18f591de55d92dae"},
    {"BYTE", 0, GameVersion::Crystal, "America", k2MiB, {0x51424, 0x8EAC4, 0xF2787, 0x425B1}, 0x23B11,
     "f4cd194bdee0d04ca4eac29e09b8e4e9d818c133"},
    {"BYTE", 1, GameVersion::Crystal, "America", k2MiB, {0x51424, 0x8EAC4, 0xF2787, 0x425B1}, 0x23B11,
     "f2f52230b536214ef7c9924f483392993e226cfb"},
    {"BYTU", 0, GameVersion::Crystal, "Australia", k2MiB, {0x51424, 0x8EAC4, 0xF2787, 0x425B1}, 0x23B11,
     "a0fc810f1d4e124434f7be2c989ab5b5892ddf36"},
    {"BYTF", 0, GameVersion::Crystal, "French", k2MiB, {0x51417, 0x8EAC4, 0xF2787, 0x425BC}, 0x23B11,
     "c055992b16b7399c687647725cdd1f4f13a2f75c"},
    {"BYTD", 0, GameVersion::Crystal, "German", k2MiB, {0x5140E, 0x8EAC4, 0xF2787, 0x425A1}, 0x23B11,
     "accb584293ba056152f1fd908439b019017ff2fe"},
    {"BYTS", 0, GameVersion::Crystal, "Spanish", k2MiB, {0x5142D, 0x8EAC4, 0xF2787, 0x425C4}, 0x23B11,
     "889a06fc0bb863666865aa69def0adf97945ac2a"},
    {"AAUJ", 0, GameVersion::Gold, "Japanese", k1MiB, {0x51AA9, 0x8E795, 0xF2747, 0x4295F}, 0x23B07,
     "8814f1039450a5d3684b1389f588ccd7ee7c3436"},
    {"AAUJ", 1, GameVersion::Gold, "Japanese", k1MiB, {0x51AA9, 0x8E79A, 0xF2747, 0x4295F}, 0x23B07,
     "a222402235d484ee8e39f3f31bae57cf13daf585"},
    {"AAXJ", 0, GameVersion::Silver, "Japanese", k1MiB, {0x51AA9, 0x8E77B, 0xF2747, 0x4295F}, 0x23B07,
     "fa8c51059c1642faa570db56ef089f54d1d2011f"},
    {"AAXJ", 1, GameVersion::Silver, "Japanese", k1MiB, {0x51AA9, 0x8E780, 0xF2747, 0x4295F}, 0x23B07,
     "a11d5ddc26eb826086593f82370b15d16404d33e"},
}};

const ReleaseLayout* FindReleaseLayout(std::string_view gameCode, uint8_t revision) {
    for (const ReleaseLayout& row : kReleaseLayouts) {
        if (row.gameCode == gameCode && row.revision == revision) return &row;
    }
    return nullptr;
}

const ReleaseLayout* FindReleaseBySha1(std::string_view sha1) {
    for (const ReleaseLayout& row : kReleaseLayouts) {
        if (row.sha1 == sha1) return &row;
    }
    return nullptr;
}

bool IsKnownGameCode(std::string_view gameCode) {
    for (const ReleaseLayout& row : kReleaseLayouts) {
        if (row.gameCode == gameCode) return true;
    }
    return false;
}

const ReleaseLayout& FirstAmericanRelease(GameVersion version) {
    for (const ReleaseLayout& row : kReleaseLayouts) {
        if (row.version == version && row.market == "America" && row.revision == 0) return row;
    }
    return kReleaseLayouts[0];  // every version has one; not reached
}

std::string ReleaseCaption(const ReleaseLayout& release) {
    std::string caption = std::string(VersionCaption(release.version)) + " (" + std::string(release.market);
    if (release.revision != 0) caption += ", revision " + std::to_string(release.revision);
    return caption + ")";
}

std::string ReleaseShortName(const ReleaseLayout& release) {
    // The markets named after a country get its adjective.
    std::string name = release.market == "America"     ? std::string("American")
                       : release.market == "Australia" ? std::string("Australian")
                                                       : std::string(release.market);
    name += " release";
    if (release.revision != 0) name += ", revision " + std::to_string(release.revision);
    return name;
}

std::optional<std::string_view> MarketOfCode(std::string_view gameCode) {
    if (gameCode.size() != static_cast<size_t>(kGameCodeLength)) return std::nullopt;
    switch (gameCode.back()) {
        case 'E':
            return "America";
        case 'U':
            return "Australia";
        case 'F':
            return "French";
        case 'D':
            return "German";
        case 'S':
            return "Spanish";
        case 'J':
            return "Japanese";
        default:
            return std::nullopt;
    }
}

std::string GameCodeOf(std::span<const uint8_t> image) {
    std::string code;
    for (int64_t offset = kGameCodeOffset; offset < kGameCodeOffset + kGameCodeLength; ++offset) {
        const uint8_t byte = offset < static_cast<int64_t>(image.size()) ? image[static_cast<size_t>(offset)] : 0;
        code += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
    }
    return code;
}

}  // namespace rom
