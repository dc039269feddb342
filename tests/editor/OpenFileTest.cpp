// Opening an image named on the command line: the same result as File, Open
// answered with that path, without the dialog; a path that names no file
// gives one message and leaves the window as it was.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

#include <filesystem>
#include <string>

#include "rom/SpeciesLayout.h"
#include "tests/editor/EditorSession.h"
#include "tests/support/TestImage.h"

using rom::GameVersion;
using testing_editor::EditorSession;
using testsupport::TestImage;

namespace {

// Everything the window shows: each control's text or value and whether it is
// enabled, and the state behind it. Two windows that agree here look and
// behave alike.
std::string Snapshot(EditorSession& session) {
    std::string out;
    auto add = [&out](const QWidget* widget, const QString& value) {
        out += widget->objectName().toStdString() + (widget->isEnabled() ? " on  " : " off ") + value.toStdString() +
               "\n";
    };
    for (const QWidget* widget : session.editor.findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty()) continue;
        if (auto* label = qobject_cast<const QLabel*>(widget)) add(widget, label->text());
        else if (auto* box = qobject_cast<const QLineEdit*>(widget)) add(widget, box->text());
        else if (auto* combo = qobject_cast<const QComboBox*>(widget))
            add(widget, QString::number(combo->currentIndex()) + " " + combo->currentText());
        else if (auto* slider = qobject_cast<const QScrollBar*>(widget)) add(widget, QString::number(slider->value()));
        else if (auto* check = qobject_cast<const QCheckBox*>(widget)) add(widget, check->isChecked() ? "x" : "-");
        else if (auto* list = qobject_cast<const QListWidget*>(widget)) add(widget, QString::number(list->currentRow()));
        else if (qobject_cast<const QGroupBox*>(widget)) add(widget, QString());
    }
    for (const QAction* action : session.editor.findChildren<QAction*>()) {
        out += action->objectName().toStdString() + (action->isEnabled() ? " on\n" : " off\n");
    }
    const EditorState& state = session.editor.State();
    out += "ChosenFile " + state.ChosenFile + "\nRomFile " + state.RomFile + "\nVersionCode " +
           std::to_string(state.VersionCode) + "\nOffsets " + std::to_string(state.Profile.BaseStatsOffset) + " " +
           std::to_string(state.Profile.MenuIconOffset) + " " + std::to_string(state.Profile.CryTableOffset) + " " +
           std::to_string(state.Profile.EvoMovePointerOffset) + "\nSpeciesIndex " +
           std::to_string(state.SpeciesIndex) + "\nGenderByte " + std::to_string(state.GenderByte) + "\n";
    return out;
}

TestImage PatternedImage(uint8_t header) {
    TestImage image(header);
    image.FillWithPattern();
    return image;
}

// Runs in `folder` until the end of the scope.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

}  // namespace

// Recognised, unknown and letter-digit headers: the window ends exactly as after
// File, Open answered with the same path, and no dialog is asked.
TEST(OpenFile, EndsAsFileOpenAnsweredWithThePath) {
    for (const uint8_t header : {TestImage::HeaderByte(GameVersion::Gold), TestImage::HeaderByte(GameVersion::Silver),
                                 TestImage::HeaderByte(GameVersion::Crystal), uint8_t{0x35}, uint8_t{0x4A}}) {
        SCOPED_TRACE(header);
        TestImage image = PatternedImage(header);
        EditorSession byDialog;
        byDialog.Open(image.path());
        EditorSession byPath;
        byPath.editor.OpenFile(QString::fromStdString(image.path()));

        EXPECT_TRUE(byPath.chooser.calls.empty());
        EXPECT_EQ(Snapshot(byPath), Snapshot(byDialog));
        EditorSession fresh;
        EXPECT_NE(Snapshot(byPath), Snapshot(fresh));
        EXPECT_EQ(byPath.MessageCount(), byDialog.MessageCount());
    }
}

TEST(OpenFile, CrystalImageShowsItsVersionAndFirstSpeciesAndSaves) {
    TestImage image(TestImage::HeaderByte(GameVersion::Crystal));
    const auto profile = rom::DefaultProfile(GameVersion::Crystal);
    image.SetByte(profile.BaseStatsOffset + 1, 0x2A);
    EditorSession session;
    session.editor.OpenFile(QString::fromStdString(image.path()));

    EXPECT_EQ(session.Control<QLabel>("Version").text(), "Kreblin Crystal Version");
    EXPECT_EQ(session.Box("HP").text(), "42");
    EXPECT_EQ(session.editor.State().RomFile, image.path());
    session.Box("HP").setText("43");
    session.Save();
    EXPECT_EQ(image.ByteAt(profile.BaseStatsOffset + 1), 43);
    EXPECT_EQ(session.MessageCount(), 0u);
}

// The dialog answers full paths; a path relative to the working folder is
// made full, so that later reads and writes do not depend on that folder.
TEST(OpenFile, RelativePathBecomesTheFullPath) {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold));
    EditorSession session;
    {
        const WorkingFolder here(image.folder());
        session.editor.OpenFile(QString::fromStdString(std::filesystem::path(image.path()).filename().string()));
    }
    EXPECT_EQ(session.editor.State().RomFile, image.path());
    EXPECT_EQ(session.Control<QLabel>("Version").text(), "Kreblin Gold Version");
    session.Box("HP").setText("5");
    session.Save();
    EXPECT_EQ(image.ByteAt(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 1), 5);
}

TEST(OpenFile, NoFileOrAFolderGivesOneMessageAndKeepsTheStartUpState) {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold));
    const std::string missing = image.path() + ".missing";
    struct Case {
        std::string path;
        QString text;
    };
    for (const Case& bad : {Case{missing, "There is no file \"" + QString::fromStdString(missing) + "\"."},
                            Case{image.folder().string(),
                                 "\"" + QString::fromStdString(image.folder().string()) + "\" is a folder, not a ROM image."},
                            Case{"", "There is no file \"\"."},
                            Case{"/dev/null", "\"/dev/null\" is not a file."}}) {
        SCOPED_TRACE(bad.path);
        EditorSession fresh;
        EditorSession session;
        session.editor.OpenFile(QString::fromStdString(bad.path));

        ASSERT_EQ(session.MessageCount(), 1u);
        EXPECT_EQ(session.LastMessage().title, "Quillmere");
        EXPECT_EQ(session.LastMessage().text, bad.text);
        EXPECT_EQ(Snapshot(session), Snapshot(fresh));
        EXPECT_TRUE(session.chooser.calls.empty());
        EXPECT_FALSE(std::filesystem::exists(missing));  // never created
    }
}

// After an image was opened, a bad path leaves that image in use.
TEST(OpenFile, BadPathAfterAnOpenKeepsTheImageInUse) {
    TestImage image(TestImage::HeaderByte(GameVersion::Silver));
    EditorSession session;
    session.Open(image.path());
    session.Select(3);
    const std::string before = Snapshot(session);

    session.editor.OpenFile(QString::fromStdString(image.path() + ".missing"));
    EXPECT_EQ(session.MessageCount(), 1u);
    EXPECT_EQ(Snapshot(session), before);
}
