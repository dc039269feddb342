#include "editor/Editor.h"

#include <QApplication>
#include <QFileInfo>

#include "editor/ImageInUse.h"
#include "editor/SpeciesCommands.h"
#include "rom/FieldConversions.h"

namespace {

QString Caption(int value) { return QString::fromStdString(rom::CaptionHex(value)); }

}  // namespace

Editor::Editor(ui::MessageBoxes* boxes, QWidget* parent) : QMainWindow(parent) {
    if (boxes == nullptr) {
        ownBoxes_ = std::make_unique<ui::QtMessageBoxes>(this);
        boxes = ownBoxes_.get();
    }
    boxes_ = boxes;

    form.setupUi(this);

    connect(form.Open, &QAction::triggered, this, &Editor::Open_Click);
    connect(form.Save, &QAction::triggered, this, &Editor::Save_Click);
    connect(form.Exit, &QAction::triggered, this, &Editor::Exit_Click);
    connect(form.AboutButton, &QAction::triggered, this, &Editor::AboutButton_Click);
    connect(form.KreblinLoader, &QListWidget::currentRowChanged, this, &Editor::KreblinLoader_Click);

    // Direct connections: a value set by code runs its handler before the
    // assignment returns, and an unchanged value emits nothing.
    connect(form.Pitch, &QScrollBar::valueChanged, this, &Editor::Pitch_Change);
    connect(form.Pitch, &QScrollBar::sliderMoved, this, &Editor::Pitch_Scroll);
    connect(form.Echo, &QScrollBar::valueChanged, this, &Editor::Echo_Change);
    connect(form.Echo, &QScrollBar::sliderMoved, this, &Editor::Echo_Scroll);
    connect(form.Length, &QScrollBar::valueChanged, this, &Editor::Length_Change);
    connect(form.Length, &QScrollBar::sliderMoved, this, &Editor::Length_Scroll);
    connect(form.Gender, &QScrollBar::valueChanged, this, &Editor::Gender_Change);
    connect(form.Gender, &QScrollBar::sliderMoved, this, &Editor::Gender_Scroll);
    connect(form.NoGender, &QCheckBox::toggled, this, &Editor::NoGender_Click);
}

Editor::~Editor() = default;

void Editor::Open_Click() {
    OpenImage(*this, form, state_, *boxes_);
    // Once the open has settled which image and layout are in use.
    ShowImageInUse(form, state_);
}

void Editor::OpenFile(const QString& path) {
    // The open dialog answers only with the full path of an existing file;
    // a path from elsewhere is held to the same.
    const QFileInfo file(path);
    const QString title = QString::fromLatin1(ui::kApplicationTitle);
    if (path.isEmpty() || !file.exists()) {
        boxes_->Show(QStringLiteral("There is no file \"%1\".").arg(path), title);
        return;
    }
    if (file.isDir()) {
        boxes_->Show(QStringLiteral("\"%1\" is a folder, not a ROM image.").arg(path), title);
        return;
    }
    if (!file.isFile()) {
        boxes_->Show(QStringLiteral("\"%1\" is not a file.").arg(path), title);
        return;
    }
    OpenImageFile(*this, form, state_, *boxes_, file.absoluteFilePath().toStdString());
    ShowImageInUse(form, state_);
}

void Editor::Save_Click() { SaveShownSpecies(*this, state_, *boxes_); }

void Editor::KreblinLoader_Click() {
    LoadSelectedSpecies(*this, form, state_);
    // The tooltip names the image's own name of the species now shown.
    ShowImageInUse(form, state_);
}

void Editor::Exit_Click() {
    // Ends the program at once: every window closes, nothing is asked.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

void Editor::AboutButton_Click() {
    if (about_.isNull()) {
        about_ = new ui::About();
        about_->show();
    } else {
        about_->show();
        about_->raise();
    }
    about_->activateWindow();
}

// Value changes and thumb drags write the same caption; a drag writes the
// thumb's position, so the caption follows the thumb while it moves.
void Editor::Pitch_Change() { form.DatPitch->setText(Caption(form.Pitch->value())); }
void Editor::Pitch_Scroll() { form.DatPitch->setText(Caption(form.Pitch->sliderPosition())); }
void Editor::Echo_Change() { form.DatEcho->setText(Caption(form.Echo->value())); }
void Editor::Echo_Scroll() { form.DatEcho->setText(Caption(form.Echo->sliderPosition())); }
void Editor::Length_Change() { form.DatLength->setText(Caption(form.Length->value())); }
void Editor::Length_Scroll() { form.DatLength->setText(Caption(form.Length->sliderPosition())); }

// While the no-gender box is ticked the caption shows "FF" whatever the
// slider's position, also when code moves the (disabled) slider.
void Editor::Gender_Change() {
    form.GenderValueCaption->setText(form.NoGender->isChecked() ? QStringLiteral("FF")
                                                                : Caption(form.Gender->value()));
}
void Editor::Gender_Scroll() {
    form.GenderValueCaption->setText(form.NoGender->isChecked() ? QStringLiteral("FF")
                                                                : Caption(form.Gender->sliderPosition()));
}

void Editor::NoGender_Click() {
    if (form.NoGender->isChecked()) {
        form.GenderValueCaption->setText(QStringLiteral("FF"));
        form.Gender->setEnabled(false);
    } else {
        form.Gender->setEnabled(true);
        form.GenderValueCaption->setText(Caption(form.Gender->value()));
    }
}
