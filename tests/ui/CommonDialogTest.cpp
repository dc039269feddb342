// The file dialog wrapper, with a scripted chooser answering its calls.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <stdexcept>

#include "tests/ui/support/ScriptedFileChooser.h"
#include "ui/dialogs/QtFileDialogSetup.h"
#include "ui/dialogs/clsCommonDialog.h"

namespace {

using dialogs::ToFilterRecord;
using testing_ui::ScriptedFileChooser;

const QString kRomFilter = QStringLiteral("GBC ROMs (*.gbc)|*.gbc");
constexpr int32_t kOpenFlags = dialogs::OFN_HIDEREADONLY | dialogs::OFN_PATHMUSTEXIST | dialogs::OFN_FILEMUSTEXIST;

QString Nul() { return QString(QChar(u'\0')); }

TEST(FilterConversionTest, BarsBecomeNulsEndedByOneNul) {
    EXPECT_EQ(ToFilterRecord(kRomFilter), "GBC ROMs (*.gbc)" + Nul() + "*.gbc" + Nul());
    EXPECT_EQ(ToFilterRecord("All Files (*.*)|*.*|"), "All Files (*.*)" + Nul() + "*.*" + Nul());
    EXPECT_EQ(ToFilterRecord(""), Nul());
}

TEST(FilterConversionTest, PairsBecomeQtNameFilters) {
    EXPECT_EQ(dialogs::ToNameFilters(ToFilterRecord(kRomFilter)), QStringList{"GBC ROMs (*.gbc)"});
    EXPECT_EQ(dialogs::ToNameFilters(ToFilterRecord("Images|*.png;*.bmp|All Files (*.*)|*.*")),
              (QStringList{"Images (*.png *.bmp)", "All Files (*.*)"}));
    // A description without its pattern is no pair.
    EXPECT_TRUE(dialogs::ToNameFilters(ToFilterRecord("Lonely")).isEmpty());
}

TEST(CommonDialogTest, ShowOpenFillsTheRecord) {
    ScriptedFileChooser chooser;
    chooser.Cancel();
    QWidget owner;
    clsCommonDialog dialog;
    dialog.ShowOpen(&owner, "Open Kreblin GBC ROM...", "", kRomFilter, kOpenFlags);
    ASSERT_EQ(chooser.calls.size(), 1u);
    const dialogs::OpenFileNameRecord& record = chooser.calls[0].record;
    EXPECT_FALSE(chooser.calls[0].save);
    EXPECT_EQ(record.lStructSize, 76);
    EXPECT_EQ(record.hwndOwner, &owner);
    EXPECT_EQ(record.lpstrFilter, "GBC ROMs (*.gbc)" + Nul() + "*.gbc" + Nul());
    EXPECT_EQ(record.lpstrFile, QString(254, ' '));
    EXPECT_EQ(record.nMaxFile, 255);
    EXPECT_EQ(record.lpstrFileTitle, QString(254, ' '));
    EXPECT_EQ(record.nMaxFileTitle, 255);
    EXPECT_TRUE(record.lpstrInitialDir.isEmpty());
    EXPECT_EQ(record.lpstrTitle, "Open Kreblin GBC ROM...");
    EXPECT_EQ(record.Flags, 0x1804);
}

TEST(CommonDialogTest, CancelReturnsEmptyAndKeepsTheState) {
    ScriptedFileChooser chooser;
    chooser.Cancel();
    clsCommonDialog dialog;
    EXPECT_EQ(dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags), "");
    EXPECT_EQ(dialog.FilterIndex(), 0);
    EXPECT_TRUE(dialog.LastFileName.isEmpty());

    chooser.Answer({QStringLiteral("/roms/first.gbc"), 1});
    chooser.Cancel();
    EXPECT_EQ(dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags), "/roms/first.gbc");
    EXPECT_EQ(dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags), "");
    EXPECT_EQ(dialog.LastFileName, "/roms/first.gbc");
    EXPECT_EQ(dialog.FilterIndex(), 1);
}

TEST(CommonDialogTest, FilterIndexIsThePairInUse) {
    ScriptedFileChooser chooser;
    chooser.Answer({QStringLiteral("/roms/b.bin"), 2});
    clsCommonDialog dialog;
    dialog.ShowOpen(nullptr, "t", "/roms", "GBC ROMs (*.gbc)|*.gbc|All Files (*.*)|*.*", kOpenFlags);
    EXPECT_EQ(dialog.FilterIndex(), 2);
    EXPECT_EQ(dialog.LastFilterIndex, 2);
}

TEST(CommonDialogTest, SecondOpenWithoutFolderStartsAtThePreviousAnswer) {
    ScriptedFileChooser chooser;
    chooser.Answer({QStringLiteral("/roms/crystal.gbc"), 1});
    chooser.Answer({QStringLiteral("/roms/gold.gbc"), 1});
    chooser.Cancel();
    clsCommonDialog dialog;
    dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags);
    dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags);
    dialog.ShowOpen(nullptr, "t", "/elsewhere", kRomFilter, kOpenFlags);
    ASSERT_EQ(chooser.calls.size(), 3u);
    EXPECT_EQ(chooser.calls[0].record.lpstrInitialDir, "");
    EXPECT_EQ(chooser.calls[1].record.lpstrInitialDir, "/roms/crystal.gbc");
    EXPECT_EQ(chooser.calls[2].record.lpstrInitialDir, "/elsewhere");
}

TEST(CommonDialogTest, OpenResultHasNoNulAndNoSurroundingSpaces) {
    ScriptedFileChooser chooser;
    // The answer lands in the space-filled buffer, NUL-ended, spaces after it.
    chooser.Answer({QStringLiteral("  /roms/my rom.gbc  "), 1});
    clsCommonDialog dialog;
    const QString result = dialog.ShowOpen(nullptr, "t", "", kRomFilter, kOpenFlags);
    EXPECT_EQ(result, "/roms/my rom.gbc");
    EXPECT_FALSE(result.contains(QChar(u'\0')));
    EXPECT_EQ(dialog.LastFileName, "/roms/my rom.gbc");
}

TEST(CommonDialogTest, SaveOffersTheNameAndTheDefaultExtension) {
    ScriptedFileChooser chooser;
    chooser.Answer({QStringLiteral("/out/x"), 1});
    clsCommonDialog dialog;
    EXPECT_EQ(dialog.ShowSave(nullptr, "Save", "x", "", "Palettes|*.gpl", 0), "/out/x.gpl");
    ASSERT_EQ(chooser.calls.size(), 1u);
    const dialogs::OpenFileNameRecord& record = chooser.calls[0].record;
    EXPECT_TRUE(chooser.calls[0].save);
    EXPECT_EQ(record.lpstrFile, "x" + QString(127, QChar(u'\0')));
    EXPECT_EQ(record.nMaxFile, 128);
    EXPECT_EQ(record.lpstrDefExt, ".gpl");
    EXPECT_EQ(record.lpstrInitialDir, "");
    EXPECT_EQ(dialog.FilterIndex(), 1);
    EXPECT_TRUE(dialog.LastFileName.isEmpty());  // only an open changes it
}

TEST(CommonDialogTest, SaveRefusesANameLongerThan128Characters) {
    ScriptedFileChooser chooser;
    chooser.Answer({QStringLiteral("/out/y.gpl"), 1});
    clsCommonDialog dialog;
    EXPECT_THROW(dialog.ShowSave(nullptr, "Save", QString(129, 'n'), "", "", 0), std::invalid_argument);
    EXPECT_TRUE(chooser.calls.empty());  // refused before any dialog
    EXPECT_EQ(dialog.ShowSave(nullptr, "Save", QString(128, 'n'), "", "", 0), "/out/y.gpl");
}

TEST(QtChooserSetupTest, OpenDialogHonoursTheRecord) {
    dialogs::OpenFileNameRecord record;
    record.lpstrTitle = "Open Kreblin GBC ROM...";
    record.lpstrFilter = ToFilterRecord("GBC ROMs (*.gbc)|*.gbc|All Files (*.*)|*.*");
    record.Flags = kOpenFlags;
    record.nFilterIndex = 2;
    record.lpstrInitialDir = QDir::tempPath();
    QFileDialog dialog;
    dialogs::ConfigureFileDialog(dialog, record, false);
    EXPECT_EQ(dialog.windowTitle(), "Open Kreblin GBC ROM...");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.nameFilters(), (QStringList{"GBC ROMs (*.gbc)", "All Files (*.*)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), "All Files (*.*)");
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
}

TEST(QtChooserSetupTest, SaveDialogTakesTheDefaultSuffix) {
    dialogs::OpenFileNameRecord record;
    record.lpstrFile = "x" + QString(127, QChar(u'\0'));
    record.lpstrDefExt = ".gpl";
    QFileDialog dialog;
    dialogs::ConfigureFileDialog(dialog, record, true);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "gpl");
}

TEST(QtChooserSetupTest, AnswerThatDoesNotFitTheBufferFails) {
    dialogs::OpenFileNameRecord record;
    record.lpstrFile = QString(254, ' ');
    record.nMaxFile = 255;
    EXPECT_FALSE(dialogs::StoreAnswer(record, "/" + QString(254, 'a'), 1));
    EXPECT_EQ(record.lpstrFile, QString(254, ' '));
    EXPECT_TRUE(dialogs::StoreAnswer(record, "/" + QString(253, 'a'), 1));
    EXPECT_EQ(dialogs::UpToNul(record.lpstrFile), "/" + QString(253, 'a'));
}

}  // namespace
