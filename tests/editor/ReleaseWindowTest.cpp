// The window on images laid out like each official release: the version's
// own caption, the release named in the tooltip, every edit at the release's
// offsets; moved tables refused until a ".tables" file says where they are.

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>

#include <set>
#include <string>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tests/editor/EditorSession.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

using rom::ReleaseLayout;
using testing_editor::EditorSession;
using testsupport::TestImage;

namespace {

constexpr int32_t kMovedBy = 17;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

class ReleaseWindow : public testing::TestWithParam<size_t> {
protected:
    const ReleaseLayout& row() const { return rom::kReleaseLayouts[GetParam()]; }

    rom::VersionProfile Moved() const { return TestImage::MovedTables(row(), kMovedBy); }

    static bool EditingIsOn(EditorSession& session) {
        return session.editor.form.FrameStats->isEnabled() && session.editor.form.Save->isEnabled();
    }

    // Edits one field of each table of the last species and saves: only those
    // bytes may change, at the offsets of `profile`.
    static void ExpectEditsLandAt(EditorSession& session, const TestImage& image, const rom::VersionProfile& profile) {
        const int species = 250;
        session.Select(species);
        const std::vector<uint8_t> before = image.ReadAll();
        session.Save();  // unchanged: nothing is lost by looking
        ASSERT_EQ(image.ReadAll(), before);

        session.Box("HP").setText("201");
        session.Combo("Sprite").setCurrentIndex(0x26);
        session.Slider("Pitch").setValue(0xF1);
        // The list of species 1, the second after the pointer table.
        const int64_t list = profile.EvoMovePointerOffset + 2 * rom::kSpeciesCount + 2;
        const auto address = static_cast<uint16_t>(0x4000 + list % 0x4000);
        const QString pointer = QString::asprintf("%02X%02X", address & 0xFF, address >> 8);
        session.Box("Pointer").setText(pointer);
        session.Save();
        ASSERT_EQ(session.MessageCount(), 0u) << session.LastMessage().text.toStdString();

        const auto at = [&](const char* control) { return *rom::FieldOffset(profile, species, *rom::FindField(control)); };
        const std::vector<std::pair<int64_t, uint8_t>> expected = {
            {at("HP"), 201}, {at("Sprite"), 0x26}, {at("Pitch"), 0xF1}, {at("Pointer"), static_cast<uint8_t>(address & 0xFF)},
            {at("Pointer") + 1, static_cast<uint8_t>(address >> 8)}};
        const std::vector<uint8_t> after = image.ReadAll();
        std::set<int64_t> allowed;
        for (const auto& [offset, value] : expected) {
            allowed.insert(offset);
            EXPECT_EQ(after[static_cast<size_t>(offset)], value) << "at " << offset;
        }
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] != before[i]) {
                EXPECT_TRUE(allowed.count(static_cast<int64_t>(i))) << "stray write at " << i;
            }
        }
    }
};

TEST_P(ReleaseWindow, OpensWithTheVersionCaptionAndSavesAtTheReleaseOffsets) {
    const TestImage image = TestImage::OfRelease(row());
    EditorSession session;
    session.Open(image.path());
    EXPECT_EQ(session.Control<QLabel>("Version").text(), Text(rom::VersionCaption(row().version)));
    EXPECT_TRUE(session.Control<QLabel>("Version").toolTip().endsWith(
        "\nReleased layout: " + QString::fromStdString(rom::ReleaseShortName(row()))))
        << session.Control<QLabel>("Version").toolTip().toStdString();
    EXPECT_TRUE(EditingIsOn(session));
    EXPECT_EQ(session.editor.State().Profile, row().tables);
    EXPECT_EQ(session.MessageCount(), 0u);
    ExpectEditsLandAt(session, image, row().tables);
}

TEST_P(ReleaseWindow, MovedTablesAreEditedWhereTheGameCodeReadsThem) {
    const TestImage image = TestImage::OfRelease(row(), kMovedBy);
    EditorSession session;
    session.Open(image.path());
    EXPECT_TRUE(EditingIsOn(session));
    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_EQ(session.editor.State().Profile, Moved());
    EXPECT_TRUE(session.Control<QLabel>("Version").toolTip().endsWith(
        "\nModified game layout, based on " + Text(rom::VersionCaption(row().version)) + " (" +
        QString::fromStdString(rom::ReleaseShortName(row())) + "): its code proves where its tables are"))
        << session.Control<QLabel>("Version").toolTip().toStdString();
    ExpectEditsLandAt(session, image, Moved());
}

TEST_P(ReleaseWindow, TablesNoRoutineLocatesAreRefusedUntilATablesFileSaysWhere) {
    const TestImage image = TestImage::OfRelease(row(), kMovedBy, /*withRoutines=*/false);
    const std::vector<uint8_t> bytes = image.ReadAll();
    {
        EditorSession session;
        session.Open(image.path());
        EXPECT_FALSE(EditingIsOn(session));
        ASSERT_EQ(session.MessageCount(), 1u);
        const QString text = session.LastMessage().text;
        EXPECT_TRUE(text.contains("complete image of " + Text(rom::VersionCaption(row().version)) +
                                  ", but where its tables lie is not proven: the routine through which the game "
                                  "reads its base records does not occur in it"))
            << text.toStdString();
        EXPECT_TRUE(text.contains("stays intact")) << text.toStdString();
        session.Save();
        EXPECT_EQ(image.ReadAll(), bytes);
    }
    {
        // A file that names one offset wrongly: one message naming its line.
        rom::VersionProfile wrong = Moved();
        wrong.MenuIconOffset = 0x7FFFFFFF;
        image.WriteTablesFile(rom::TablesFileText(wrong));
        EditorSession session;
        session.Open(image.path());
        EXPECT_FALSE(EditingIsOn(session));
        ASSERT_EQ(session.MessageCount(), 1u);
        EXPECT_TRUE(session.LastMessage().text.startsWith(
            QString::fromStdString("Line 2 of \"" + image.tablesPath() + "\": the menu icons at 0x7FFFFFFF")))
            << session.LastMessage().text.toStdString();
        EXPECT_EQ(image.ReadAll(), bytes);
    }
    image.WriteTablesFile(rom::TablesFileText(Moved()));
    EditorSession session;
    session.Open(image.path());
    EXPECT_TRUE(EditingIsOn(session));
    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_EQ(session.editor.State().Profile, Moved());
    EXPECT_TRUE(session.Control<QLabel>("Version").toolTip().contains("\nTables file layout: "))
        << session.Control<QLabel>("Version").toolTip().toStdString();
    ExpectEditsLandAt(session, image, Moved());
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseWindow, testing::Range<size_t>(0, rom::kReleaseLayouts.size()),
                         testsupport::ReleaseParamName);

}  // namespace
