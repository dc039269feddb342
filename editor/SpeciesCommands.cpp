#include "editor/SpeciesCommands.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QSignalBlocker>

#include <optional>

#include "editor/EditorState.h"
#include "editor/SpeciesTransfer.h"
#include "rom/HexFunctions.h"
#include "rom/SpeciesLayout.h"
#include "rom/VersionDetection.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"
#include "ui/dialogs/clsCommonDialog.h"

namespace {

constexpr int32_t kOpenFlags = dialogs::OFN_FILEMUSTEXIST | dialogs::OFN_PATHMUSTEXIST | dialogs::OFN_HIDEREADONLY;  // 6148

// The eight groups that show a species, in the order they are switched.
void SetSpeciesGroupsEnabled(ui::EditorForm& form, bool enabled) {
    for (QGroupBox* group : {form.FrameStats, form.FrameCry, form.FrameAdvanced, form.FrameItems, form.FrameSprite,
                             form.FrameGender, form.EggCycle, form.EggGroup}) {
        group->setEnabled(enabled);
    }
}

QString AskForImage(QMainWindow& window) {
    clsCommonDialog dialog;
    return dialog.ShowOpen(&window, "Open Kreblin GBC ROM...", "", "GBC ROMs (*.gbc)|*.gbc", kOpenFlags);
}

}  // namespace

void OpenImage(QMainWindow& window, ui::EditorForm& form, EditorState& state) {
    OpenImageFile(window, form, state, AskForImage(window).toStdString());
}

void OpenImageFile(QMainWindow& window, ui::EditorForm& form, EditorState& state, const std::string& path) {
    state.ChosenFile = path;
    if (state.ChosenFile.empty()) {
        return;
    }
    // From here on the chosen file is the one in use, whatever its header says.
    state.RomFile = state.ChosenFile;

    const std::string header = HexFunctions::ReadHexBytes(state.RomFile, rom::kVersionByteOffset, 1);
    state.VersionCode = rom::VersionCodeFromHeaderText(header).value_or(-1);
    const std::optional<rom::GameVersion> version = rom::RecognizeVersion(header);
    form.Version->setText(QString::fromLatin1(rom::VersionCaption(version).data(),
                                              qsizetype(rom::VersionCaption(version).size())));

    if (!version) {
        // Nothing can be chosen or saved; the controls keep what they showed.
        form.FrameKreblin->setEnabled(false);
        form.Save->setEnabled(false);
        SetSpeciesGroupsEnabled(form, false);
        return;
    }

    // Released images keep their tables elsewhere than hand-built ones; the
    // base records tell which layout this image has.
    state.Profile = rom::IsReleasedImage(state.RomFile, *version) ? rom::ReleasedProfile(*version)
                                                                   : rom::DefaultProfile(*version);
    form.FrameKreblin->setEnabled(true);
    form.Save->setEnabled(true);
    {
        // Selecting the first species is followed by one explicit load below,
        // so the list's own change signal must not load it a second time.
        const QSignalBlocker blocker(form.KreblinLoader);
        form.KreblinLoader->setCurrentRow(0);
    }
    LoadSelectedSpecies(window, form, state);
}

void LoadSelectedSpecies(QMainWindow& window, ui::EditorForm& form, EditorState& state) {
    const int row = form.KreblinLoader->currentRow();
    if (row < 0 || row >= rom::kSpeciesCount) {
        return;  // the selection was cleared; there is no species to show
    }
    state.SpeciesIndex = static_cast<int16_t>(row);
    SetSpeciesGroupsEnabled(form, true);
    LoadSpeciesFields(window, state);
}

void SaveShownSpecies(QMainWindow& window, const EditorState& state, ui::MessageBoxes& boxes) {
    if (state.RomFile.empty()) {
        boxes.Show("You can't save without a ROM loaded.", ui::kApplicationTitle);
        return;
    }
    SaveSpeciesFields(window, state, boxes);
}
