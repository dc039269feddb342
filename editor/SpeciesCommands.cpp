#include "editor/SpeciesCommands.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QSignalBlocker>

#include <optional>
#include <string>

#include "editor/EditorState.h"
#include "editor/ImageInUse.h"
#include "editor/SpeciesTransfer.h"
#include "rom/HexFunctions.h"
#include "rom/ImageFacts.h"
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

// Nothing can be chosen or saved, and the controls keep what they showed: for
// an unrecognised image, and for one whose tables are not confirmed or whose
// layout could not be read.
void SwitchEditingOff(ui::EditorForm& form) {
    form.FrameKreblin->setEnabled(false);
    form.Save->setEnabled(false);
    SetSpeciesGroupsEnabled(form, false);
}

// True when the image in use has tables at offsets the editor can vouch for.
bool LayoutIsConfirmed(const EditorState& state) {
    return state.Layout.has_value() && state.Layout->profile.has_value();
}

// The refusal of an image whose tables are not confirmed: what is unknown or
// failed, as the layout answer says it, and what follows for the image.
QString UnknownLayoutText(const std::string& refusal) {
    return QString::fromStdString(refusal) +
           QStringLiteral("\n\nSo that the image stays intact, its species are not shown and nothing is saved "
                          "into it.");
}

QString AskForImage(QMainWindow& window) {
    clsCommonDialog dialog;
    return dialog.ShowOpen(&window, "Open Kreblin GBC ROM...", "", "GBC ROMs (*.gbc)|*.gbc", kOpenFlags);
}

}  // namespace

void OpenImage(QMainWindow& window, ui::EditorForm& form, EditorState& state, ui::MessageBoxes& boxes) {
    OpenImageFile(window, form, state, boxes, AskForImage(window).toStdString());
}

void OpenImageFile(QMainWindow& window, ui::EditorForm& form, EditorState& state, ui::MessageBoxes& boxes,
                   const std::string& path) {
    state.ChosenFile = path;
    if (state.ChosenFile.empty()) {
        return;
    }
    // From here on the chosen file is the one in use, whatever its header says.
    state.RomFile = state.ChosenFile;
    state.ImageNames.clear();

    const std::string header = HexFunctions::ReadHexBytes(state.RomFile, rom::kVersionByteOffset, 1);
    state.VersionCode = rom::VersionCodeFromHeaderText(header).value_or(-1);
    // A header that names no version: the ".tables" file beside a complete
    // image may name it (a modified game whose title no longer does).
    std::optional<rom::GameVersion> version = rom::RecognizeVersion(header);
    if (!version && !header.empty()) version = rom::ImageVersionOfFile(state.RomFile);
    form.Version->setText(QString::fromLatin1(rom::VersionCaption(version).data(),
                                              qsizetype(rom::VersionCaption(version).size())));

    if (!version) {
        state.Layout.reset();
        SwitchEditingOff(form);
        return;
    }

    // The image itself confirms where its tables are: those of its release,
    // of the ".tables" file beside it, or of an image built by hand. An image
    // whose tables are not confirmed is never read or written at a guessed
    // offset, and neither is an image whose layout could not be read (that
    // failure has been reported). The previous offsets stay, unused, as for
    // an unrecognised image.
    state.Layout = rom::ResolveLayoutOfFile(state.RomFile, *version);
    const std::optional<rom::VersionProfile> profile = state.Layout ? state.Layout->profile : std::nullopt;
    if (!profile) {
        SwitchEditingOff(form);
        if (state.Layout) boxes.Show(UnknownLayoutText(state.Layout->refusal), ui::kApplicationTitle);
        return;
    }
    state.Profile = *profile;
    state.ImageNames = ReadImageSpeciesNames(state.RomFile, *state.Layout);
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
    if (!LayoutIsConfirmed(state)) {
        return;  // no table of this image may be read as a species
    }
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
    // Save is switched off while the image's layout is not confirmed; should
    // the command arrive anyway, it writes nothing.
    if (!LayoutIsConfirmed(state)) {
        return;
    }
    SaveSpeciesFields(window, state, boxes);
}
