#include "rom/ReleaseLayouts.h"

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

}  // namespace rom
