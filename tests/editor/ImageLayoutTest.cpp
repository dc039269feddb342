// Which layout the window uses for an image it opens: complete released
// images, complete images whose tables it cannot confirm (refused with one
// message and never written), and images built by hand.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>

#include <optional>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/VersionDetection.h"
#include "tests/editor/EditorSession.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

using rom::GameVersion;
using rom::ImageLayout;
using testing_editor::EditorSession;
using testsupport::TestImage;

namespace {

constexpr int32_t kMovedBy = 16;
constexpr const char* kGroups[] = {"FrameKreblin", "FrameStats",  "FrameCry", "FrameAdvanced", "FrameItems",
                                   "FrameSprite",  "FrameGender", "EggCycle", "EggGroup"};

QString Caption(GameVersion version) {
    const std::string_view caption = rom::VersionCaption(version);
    return QString::fromLatin1(caption.data(), qsizetype(caption.size()));
}

// Every editing group and Save in the given state.
::testing::AssertionResult EditingIs(EditorSession& session, bool enabled) {
    for (const char* name : kGroups) {
        if (session.Control<QGroupBox>(name).isEnabled() != enabled) {
            return ::testing::AssertionFailure() << name << (enabled ? " is disabled" : " is enabled");
        }
    }
    if (session.editor.form.Save->isEnabled() != enabled) {
        return ::testing::AssertionFailure() << "Save is " << (enabled ? "disabled" : "enabled");
    }
    return ::testing::AssertionSuccess();
}

// A hand-built Gold image whose first species has HP 0x11.
TestImage HandBuiltGold() {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold));
    image.SetByte(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 1, 0x11);
    return image;
}

// The kind of layout the window uses, or nullopt when it has none.
std::optional<ImageLayout> KindOf(EditorSession& session) {
    const std::optional<rom::ResolvedLayout>& layout = session.editor.State().Layout;
    return layout ? std::optional(layout->kind) : std::nullopt;
}

class OpenedLayout : public testing::TestWithParam<GameVersion> {
protected:
    GameVersion version() const { return GetParam(); }
    rom::VersionProfile released() const { return rom::ReleasedProfile(version()); }

    // A complete image laid out like the first American release whose tables
    // stand `movedBy` bytes after the released offsets, while the routines
    // that read them still read the released offsets. The first species' HP
    // is 0x2A.
    TestImage CompleteImage(int32_t movedBy) const {
        const rom::ReleaseLayout& row = rom::FirstAmericanRelease(version());
        TestImage image = TestImage::OfRelease(row, movedBy, /*withRoutines=*/false);
        image.PlantTableRoutines(row.tables, row.eggMovePointerOffset);
        image.SetByte(released().BaseStatsOffset + movedBy + 1, 0x2A);
        image.MakeComplete();
        return image;
    }
};

TEST_P(OpenedLayout, CompleteReleasedImageOpensInTheReleasedLayout) {
    TestImage image = CompleteImage(0);
    ASSERT_EQ(image.ByteAt(rom::kRomSizeOffset), 6);
    EditorSession session;
    session.Open(image.path());

    EXPECT_EQ(session.Control<QLabel>("Version").text(), Caption(version()));
    EXPECT_EQ(KindOf(session), ImageLayout::Released);
    EXPECT_EQ(session.editor.State().Profile, released());
    EXPECT_TRUE(EditingIs(session, true));
    EXPECT_EQ(session.Box("HP").text(), "42");
    EXPECT_EQ(session.MessageCount(), 0u);
}

TEST_P(OpenedLayout, MovedRecordsAreRefusedWithOneMessageAndNeverWritten) {
    TestImage gold = HandBuiltGold();
    TestImage moved = CompleteImage(kMovedBy);
    const std::vector<uint8_t> before = moved.ReadAll();
    EditorSession session;
    session.Open(gold.path());
    session.Box("HP").setText("99");  // typed, not saved
    session.Open(moved.path());

    // The version is named; nothing can be chosen or saved.
    EXPECT_EQ(session.Control<QLabel>("Version").text(), Caption(version()));
    EXPECT_EQ(session.editor.State().RomFile, moved.path());
    EXPECT_EQ(KindOf(session), ImageLayout::Unknown);
    EXPECT_TRUE(EditingIs(session, false));
    ASSERT_EQ(session.MessageCount(), 1u);
    const QString text = session.LastMessage().text;
    EXPECT_EQ(session.LastMessage().title, "Quillmere");
    EXPECT_TRUE(text.contains("complete image of " + Caption(version()) + ", but where its tables lie is not proven"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("are not numbered 1 to 251")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"image.gbc.tables\" beside it")) << text.toStdString();
    EXPECT_TRUE(text.contains("stays intact")) << text.toStdString();

    // No species of the new image was loaded: the controls show what they did.
    EXPECT_EQ(session.Box("HP").text(), "99");
    EXPECT_EQ(session.editor.State().Profile, rom::DefaultProfile(GameVersion::Gold));

    // Ctrl+S (the disabled menu item), the handler itself and a species chosen
    // by code: no write, no load, no further message.
    session.editor.form.Save->trigger();
    session.Save();
    session.Select(5);
    EXPECT_EQ(session.Box("HP").text(), "99");
    EXPECT_EQ(session.MessageCount(), 1u);
    EXPECT_EQ(moved.ReadAll(), before);

    // A recognised image afterwards works as usual.
    session.Open(gold.path());
    EXPECT_TRUE(EditingIs(session, true));
    EXPECT_EQ(KindOf(session), ImageLayout::HandBuilt);
    EXPECT_EQ(session.editor.form.KreblinLoader->currentRow(), 0);
    EXPECT_EQ(session.Box("HP").text(), "17");
    session.Box("HP").setText("18");
    session.Save();
    EXPECT_EQ(gold.ByteAt(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 1), 18);
    EXPECT_EQ(session.MessageCount(), 1u);
}

TEST_P(OpenedLayout, MovedImageMadeIncompleteIsHandBuiltAsBefore) {
    TestImage moved = CompleteImage(kMovedBy);
    moved.SetByte(0x134, static_cast<uint8_t>(moved.ByteAt(0x134) ^ 0x01));  // the checksum fails now
    const rom::VersionProfile handBuilt = rom::DefaultProfile(version());
    moved.SetByte(handBuilt.BaseStatsOffset + 1, 0x33);
    EditorSession session;
    session.Open(moved.path());

    EXPECT_EQ(KindOf(session), ImageLayout::HandBuilt);
    EXPECT_EQ(session.editor.State().Profile, handBuilt);
    EXPECT_TRUE(EditingIs(session, true));
    EXPECT_EQ(session.Box("HP").text(), "51");
    EXPECT_EQ(session.MessageCount(), 0u);
}

// Whatever a user saves, the image is recognised again: out-of-list codes in
// every list field, no gender, the highest stats; a pointer that leads to no
// list (FFFF) is refused, since every pointer leading to a list is part of
// what proves the tables.
TEST_P(OpenedLayout, ReleasedImageSavedWithExtremeValuesStaysReleased) {
    TestImage image = CompleteImage(0);
    {
        EditorSession session;
        session.Open(image.path());
        const QString first = session.Box("Pointer").text();  // species 0's list
        session.Select(250);
        for (const char* list : {"Type1", "Type2", "Sprite", "Cry"}) session.TypeInto(list, "FF");
        session.Combo("Item1").setCurrentIndex(255);
        session.Combo("Item2").setCurrentIndex(255);
        for (const char* box : {"HP", "ATK", "DEF", "SPD", "SATK", "SDEF", "RATE", "EXP", "Cycles", "Growth"}) {
            session.Box(box).setText("255");
        }
        session.Box("Size").setText("FF");
        session.Box("Groups").setText("FF");
        session.Control<QCheckBox>("NoGender").setChecked(true);
        const std::vector<uint8_t> before = image.ReadAll();
        session.Box("Pointer").setText("FFFF");
        session.Save();
        ASSERT_EQ(session.MessageCount(), 1u);
        EXPECT_TRUE(session.LastMessage().text.startsWith("The Pointer FFFF leads to no complete evolution and move "
                                                          "list (the address 0xFFFF lies outside 0x4000 to 0x7FFF)"))
            << session.LastMessage().text.toStdString();
        EXPECT_EQ(image.ReadAll(), before);
        // Another species' list: saved.
        session.Box("Pointer").setText(first);
        session.Save();
        ASSERT_EQ(session.MessageCount(), 1u) << session.LastMessage().text.toStdString();
    }
    const int32_t record = released().BaseStatsOffset + 32 * 250;
    EXPECT_EQ(image.ByteAt(record + 7), 0xFF);
    EXPECT_EQ(image.ByteAt(released().MenuIconOffset + 250), 0xFF);
    EXPECT_EQ(image.ByteAt(released().CryTableOffset + 6 * 250), 0xFF);
    EXPECT_EQ(image.ByteAt(released().EvoMovePointerOffset + 2 * 250), image.ByteAt(released().EvoMovePointerOffset));

    EditorSession again;
    again.Open(image.path());
    EXPECT_EQ(KindOf(again), ImageLayout::Released);
    EXPECT_TRUE(EditingIs(again, true));
    EXPECT_EQ(again.MessageCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Versions, OpenedLayout,
                         testing::Values(GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal),
                         testsupport::VersionParamName);

}  // namespace
