#include "rom/SpeciesLayout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <limits>
#include <ostream>
#include <string>

#include "tests/support/RecordingReporter.h"
#include "tests/support/TestImage.h"

namespace {

using rom::DefaultProfile;
using rom::FieldOffset;
using rom::FindField;
using rom::GameVersion;
using rom::ReleasedProfile;
using rom::VersionProfile;
using testsupport::RecordingReporter;
using testsupport::TestImage;

int32_t OffsetOf(const VersionProfile& profile, int32_t index, std::string_view control) {
    const rom::SpeciesField* field = FindField(control);
    if (field == nullptr) {
        ADD_FAILURE() << "no field " << control;
        return -1;
    }
    return FieldOffset(profile, index, *field).value_or(-1);
}

// ---- The field table ------------------------------------------------------------

TEST(SpeciesFields, AreTheTwentyThreeFieldsInLoadingOrder) {
    const char* const expected[] = {"HP",   "ATK",    "DEF",    "SPD",     "SATK", "SDEF",  "Type1",  "Type2",
                                    "RATE", "EXP",    "Item1",  "Item2",   "Cycles", "Size", "Growth", "Groups",
                                    "Sprite", "Pointer", "Cry", "Pitch", "Echo", "Length", "Gender"};
    ASSERT_EQ(rom::kSpeciesFields.size(), std::size(expected));
    for (size_t i = 0; i < rom::kSpeciesFields.size(); ++i) {
        EXPECT_EQ(rom::kSpeciesFields[i].control, expected[i]) << "field " << i;
        EXPECT_FALSE(rom::kSpeciesFields[i].caption.empty());
        EXPECT_EQ(FindField(expected[i]), &rom::kSpeciesFields[i]);
    }
    EXPECT_EQ(FindField("NoGender"), nullptr);
}

TEST(SpeciesFields, TouchOnlyTheListedBytesOfEachEntry) {
    // Base record bytes 0, 14, 16, 18 to 21 and 24 to 31 and byte 1 of the cry
    // entry are never read or written; 25 bytes are in all.
    int baseBytes[32] = {};
    int cryBytes[6] = {};
    int total = 0;
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        for (int32_t k = 0; k < field.width; ++k) {
            if (field.table == rom::SpeciesTable::BaseRecord) ++baseBytes[field.offsetInEntry + k];
            if (field.table == rom::SpeciesTable::CryEntry) ++cryBytes[field.offsetInEntry + k];
        }
        total += field.width;
    }
    EXPECT_EQ(total, 25);
    for (int b = 0; b < 32; ++b) {
        const bool listed = (b >= 1 && b <= 13) || b == 15 || b == 17 || b == 22 || b == 23;
        EXPECT_EQ(baseBytes[b], listed ? 1 : 0) << "base record byte " << b;
    }
    for (int b = 0; b < 6; ++b) EXPECT_EQ(cryBytes[b], b == 1 ? 0 : 1) << "cry entry byte " << b;
}

// ---- Offsets of a species' fields -----------------------------------------------

struct OffsetCase {
    GameVersion version;
    int32_t index;
    const char* control;
    int32_t expected;
};

void PrintTo(const OffsetCase& c, std::ostream* os) {
    *os << c.control << " of species " << c.index;
}

std::string FieldName(const testing::TestParamInfo<OffsetCase>& info) { return info.param.control; }

class FieldOffsets : public testing::TestWithParam<OffsetCase> {};

TEST_P(FieldOffsets, ComeFromTheProfileAndTheFieldTable) {
    const OffsetCase& c = GetParam();
    EXPECT_EQ(OffsetOf(DefaultProfile(c.version), c.index, c.control), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    GoldFirstSpecies, FieldOffsets,
    testing::Values(OffsetCase{GameVersion::Gold, 0, "HP", 0x51B11}, OffsetCase{GameVersion::Gold, 0, "SDEF", 0x51B16},
                    OffsetCase{GameVersion::Gold, 0, "Cycles", 0x51B1F},
                    OffsetCase{GameVersion::Gold, 0, "Groups", 0x51B27},
                    OffsetCase{GameVersion::Gold, 0, "Gender", 0x51B1D},
                    OffsetCase{GameVersion::Gold, 0, "Sprite", 0x8E977},
                    OffsetCase{GameVersion::Gold, 0, "Cry", 0xF2747}, OffsetCase{GameVersion::Gold, 0, "Pitch", 0xF2749},
                    OffsetCase{GameVersion::Gold, 0, "Pointer", 0x427C8}),
    FieldName);

INSTANTIATE_TEST_SUITE_P(
    CrystalLastSpecies, FieldOffsets,
    testing::Values(OffsetCase{GameVersion::Crystal, 250, "HP", 0x53358},
                    OffsetCase{GameVersion::Crystal, 250, "Groups", 0x5336E},
                    OffsetCase{GameVersion::Crystal, 250, "Sprite", 0x8EBBE},
                    OffsetCase{GameVersion::Crystal, 250, "Cry", 0xF2D63},
                    OffsetCase{GameVersion::Crystal, 250, "Length", 0xF2D67},
                    OffsetCase{GameVersion::Crystal, 250, "Pointer", 0x427B0}),
    FieldName);

TEST(FieldOffsets, ReleasedProfilesFollowTheSameTable) {
    const VersionProfile gold = ReleasedProfile(GameVersion::Gold);
    EXPECT_EQ(OffsetOf(gold, 0, "HP"), 0x51B0C);
    EXPECT_EQ(OffsetOf(gold, 0, "Sprite"), 0x8E975);
    EXPECT_EQ(OffsetOf(gold, 0, "Pointer"), 0x427BD);
    const VersionProfile crystal = ReleasedProfile(GameVersion::Crystal);
    EXPECT_EQ(OffsetOf(crystal, 250, "HP"), 0x51424 + 32 * 250 + 1);
    EXPECT_EQ(OffsetOf(crystal, 250, "Length"), 0xF2D67);
    EXPECT_EQ(OffsetOf(crystal, 250, "Pointer"), 0x425B1 + 500);
}

TEST(FieldOffsets, RefuseIndexesOutsideTheListAndResultsOutsideSigned32Bits) {
    const rom::SpeciesField& hp = *FindField("HP");
    const VersionProfile gold = DefaultProfile(GameVersion::Gold);
    EXPECT_EQ(FieldOffset(gold, -1, hp), std::nullopt);
    EXPECT_EQ(FieldOffset(gold, 251, hp), std::nullopt);

    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(FieldOffset({kMax - 1, 0, 0, 0}, 0, hp), std::optional<int32_t>(kMax));
    EXPECT_EQ(FieldOffset({kMax, 0, 0, 0}, 0, hp), std::nullopt);
    EXPECT_EQ(FieldOffset({0, 0, kMax - 4, 0}, 0, *FindField("Length")), std::nullopt);  // second byte past the range
    EXPECT_EQ(FieldOffset({-40, 0, 0, 0}, 0, hp), std::nullopt);
}

TEST(FieldOffsets, HighestByteOfTheLastSpeciesFitsTheStatedImageSize) {
    for (GameVersion version : {GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal}) {
        int32_t highest = 0;
        for (const rom::SpeciesField& field : rom::kSpeciesFields) {
            highest = std::max(highest, *FieldOffset(DefaultProfile(version), 250, field) + field.width - 1);
        }
        EXPECT_EQ(highest, version == GameVersion::Crystal ? 0xF2D68 : 0xF2D28);
        EXPECT_LT(highest, 994665);
    }
}

// ---- Profiles -------------------------------------------------------------------

TEST(Profiles, HoldTheTableStartsOfEachVersion) {
    EXPECT_EQ(DefaultProfile(GameVersion::Gold), (VersionProfile{0x51B10, 0x8E977, 0xF2747, 0x427C8}));
    EXPECT_EQ(DefaultProfile(GameVersion::Silver), (VersionProfile{0x51B10, 0x8E95D, 0xF2747, 0x427C8}));
    EXPECT_EQ(DefaultProfile(GameVersion::Crystal), (VersionProfile{0x51417, 0x8EAC4, 0xF2787, 0x425BC}));
    EXPECT_EQ(ReleasedProfile(GameVersion::Gold), (VersionProfile{0x51B0B, 0x8E975, 0xF2747, 0x427BD}));
    EXPECT_EQ(ReleasedProfile(GameVersion::Silver), (VersionProfile{0x51B0B, 0x8E95B, 0xF2747, 0x427BD}));
    EXPECT_EQ(ReleasedProfile(GameVersion::Crystal), (VersionProfile{0x51424, 0x8EAC4, 0xF2787, 0x425B1}));
}

TEST(Profiles, GoldAndSilverDifferOnlyInTheMenuIconTable) {
    for (auto profileOf : {&DefaultProfile, &ReleasedProfile}) {
        const VersionProfile gold = profileOf(GameVersion::Gold);
        const VersionProfile silver = profileOf(GameVersion::Silver);
        EXPECT_EQ(gold.MenuIconOffset - silver.MenuIconOffset, 26);
        for (int32_t index : {0, 24, 250}) {
            for (const rom::SpeciesField& field : rom::kSpeciesFields) {
                const bool same = FieldOffset(gold, index, field) == FieldOffset(silver, index, field);
                EXPECT_EQ(same, field.table != rom::SpeciesTable::MenuIcon) << field.control << " of " << index;
            }
        }
    }
}

}  // namespace
