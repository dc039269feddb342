// Opening images, loading species and saving them back, through the real
// main window with the file chooser and message boxes answered by the test.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QGroupBox>
#include <QLabel>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "rom/SpeciesLayout.h"
#include "tests/editor/EditorSession.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

using rom::GameVersion;
using testing_editor::EditorSession;
using testsupport::TestImage;

namespace {

constexpr GameVersion kAllVersions[] = {GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal};

// An image of the version with every byte random (seeded), in the released
// layout or not. The header byte is set after filling.
TestImage RandomImage(GameVersion version, bool released, uint32_t seed) {
    TestImage image(TestImage::HeaderByte(version));
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(static_cast<size_t>(TestImage::kDefaultSize));
    for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
    image.SetBytes(0, bytes);
    image.SetByte(0x13C, TestImage::HeaderByte(version));
    if (released) image.NumberBaseRecords(rom::ReleasedProfile(version).BaseStatsOffset);
    return image;
}

rom::VersionProfile ProfileOf(GameVersion version, bool released) {
    return released ? rom::ReleasedProfile(version) : rom::DefaultProfile(version);
}

// Offsets at which two byte arrays differ.
std::vector<int64_t> Differences(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    std::vector<int64_t> offsets;
    EXPECT_EQ(before.size(), after.size());
    for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
        if (before[i] != after[i]) offsets.push_back(static_cast<int64_t>(i));
    }
    return offsets;
}

int32_t Offset(GameVersion version, bool released, int species, const char* control) {
    return *rom::FieldOffset(ProfileOf(version, released), species, *rom::FindField(control));
}

}  // namespace

// The road of one edit: Crystal, position 24, HP 40.
TEST(Editing, OneEditOnCrystalWritesOneByte) {
    TestImage image = RandomImage(GameVersion::Crystal, false, 24);
    image.SetByte(0x51718, 0x23);
    const auto before = image.ReadAll();
    EditorSession session;
    session.Open(image.path());
    EXPECT_EQ(session.Control<QLabel>("Version").text(), "Kreblin Crystal Version");
    session.Select(24);
    EXPECT_EQ(session.Box("HP").text(), "35");

    session.Box("HP").setText("40");
    session.Save();

    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_EQ(Differences(before, image.ReadAll()), std::vector<int64_t>{0x51718});
    EXPECT_EQ(image.ByteAt(0x51718), 0x28);
}

// A released image keeps its base records elsewhere: the same edit lands at 0x51725.
TEST(Editing, OneEditOnReleasedCrystalUsesTheReleasedLayout) {
    TestImage image = RandomImage(GameVersion::Crystal, true, 25);
    const auto before = image.ReadAll();
    EditorSession session;
    session.Open(image.path());
    EXPECT_EQ(session.editor.State().Profile, rom::ReleasedProfile(GameVersion::Crystal));
    session.Select(24);
    session.Box("HP").setText("40");
    session.Save();

    EXPECT_EQ(Differences(before, image.ReadAll()), std::vector<int64_t>{0x51725});
    EXPECT_EQ(image.ByteAt(0x51725), 0x28);
}

class EveryVersionAndLayout : public testing::TestWithParam<std::tuple<GameVersion, bool>> {};

// Nothing is lost by looking: every species of a random image loads and saves
// back to a byte-identical file, whatever the bytes are.
TEST_P(EveryVersionAndLayout, UnchangedSaveOfEverySpeciesKeepsTheFile) {
    const auto [version, released] = GetParam();
    TestImage image = RandomImage(version, released, 1000 + static_cast<uint32_t>(version) * 2 + released);
    const auto before = image.ReadAll();
    EditorSession session;
    session.Open(image.path());
    ASSERT_EQ(session.editor.State().Profile, ProfileOf(version, released));
    for (int species = 0; species < rom::kSpeciesCount; ++species) {
        session.Select(species);
        session.Save();
    }
    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_TRUE(Differences(before, image.ReadAll()).empty());
}

// One edit of every field lands in that field's bytes only.
TEST_P(EveryVersionAndLayout, EachFieldEditLandsInItsOwnBytes) {
    const auto [version, released] = GetParam();
    TestImage image = RandomImage(version, released, 2000 + static_cast<uint32_t>(version) * 2 + released);
    EditorSession session;
    session.Open(image.path());
    const int species = 137;
    session.Select(species);

    struct Edit {
        const char* control;
        std::function<void(EditorSession&)> apply;
        std::vector<uint8_t> expected;
    };
    const std::vector<Edit> edits = {
        {"HP", [](EditorSession& s) { s.Box("HP").setText("201"); }, {201}},
        {"ATK", [](EditorSession& s) { s.Box("ATK").setText("0"); }, {0}},
        {"DEF", [](EditorSession& s) { s.Box("DEF").setText("255"); }, {255}},
        {"SPD", [](EditorSession& s) { s.Box("SPD").setText(" 17 "); }, {17}},
        {"SATK", [](EditorSession& s) { s.Box("SATK").setText("99"); }, {99}},
        {"SDEF", [](EditorSession& s) { s.Box("SDEF").setText("100"); }, {100}},
        {"Type1", [](EditorSession& s) { s.Combo("Type1").setCurrentIndex(0x14); }, {0x14}},
        {"Type2", [](EditorSession& s) { s.TypeInto("Type2", "Dark"); }, {0x1B}},
        {"RATE", [](EditorSession& s) { s.Box("RATE").setText("3"); }, {3}},
        {"EXP", [](EditorSession& s) { s.Box("EXP").setText("250"); }, {250}},
        {"Item1", [](EditorSession& s) { s.Combo("Item1").setCurrentIndex(0xC3); }, {0xC3}},
        {"Item2", [](EditorSession& s) { s.TypeInto("Item2", "7e"); }, {0x7E}},
        {"Cycles", [](EditorSession& s) { s.Box("Cycles").setText("40"); }, {40}},
        {"Size", [](EditorSession& s) { s.Box("Size").setText("7f"); }, {0x7F}},
        {"Growth", [](EditorSession& s) { s.Box("Growth").setText("5"); }, {5}},
        {"Groups", [](EditorSession& s) { s.Box("Groups").setText("E"); }, {0x0E}},
        {"Sprite", [](EditorSession& s) { s.Combo("Sprite").setCurrentIndex(0x26); }, {0x26}},
        {"Pointer", [](EditorSession& s) { s.Box("Pointer").setText("3A67"); }, {0x3A, 0x67}},
        {"Cry", [](EditorSession& s) { s.Combo("Cry").setCurrentIndex(0x43); }, {0x43}},
        {"Pitch", [](EditorSession& s) { s.Slider("Pitch").setValue(0xF1); }, {0xF1}},
        {"Echo", [](EditorSession& s) { s.Slider("Echo").setValue(0x0F); }, {0x0F}},
        {"Length", [](EditorSession& s) { s.Slider("Length").setValue(767); }, {0xFF, 0x02}},
        {"Gender", [](EditorSession& s) {
             s.Control<QCheckBox>("NoGender").setChecked(false);
             s.Slider("Gender").setValue(0xFE);
         }, {0xFE}},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.control);
        // The field's bytes start one bit away from the edit, so that the
        // edit changes every one of them; then the species is loaded afresh.
        const int32_t offset = Offset(version, released, species, edit.control);
        for (size_t k = 0; k < edit.expected.size(); ++k) {
            image.SetByte(offset + int64_t(k), uint8_t(edit.expected[k] ^ 0x01));
        }
        session.editor.KreblinLoader_Click();
        const auto before = image.ReadAll();
        edit.apply(session);
        session.Save();
        ASSERT_EQ(session.MessageCount(), 0u) << session.LastMessage().text.toStdString();
        std::vector<int64_t> expectedOffsets;
        for (size_t k = 0; k < edit.expected.size(); ++k) expectedOffsets.push_back(offset + int64_t(k));
        EXPECT_EQ(Differences(before, image.ReadAll()), expectedOffsets);
        for (size_t k = 0; k < edit.expected.size(); ++k) {
            EXPECT_EQ(image.ByteAt(offset + int64_t(k)), edit.expected[k]);
        }
    }
}

// "Crystal_Released", "Gold_HandBuilt".
std::string ImageName(const testing::TestParamInfo<std::tuple<GameVersion, bool>>& info) {
    const auto [version, released] = info.param;
    return testsupport::VersionName(version) + (released ? "_Released" : "_HandBuilt");
}

INSTANTIATE_TEST_SUITE_P(Images, EveryVersionAndLayout,
                         testing::Combine(testing::ValuesIn(kAllVersions), testing::Bool()), ImageName);
