#pragma once
// The main window. It owns the window-level state and every handler; the
// controls come from the window definition (EditorForm).

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "editor/EditorState.h"
#include "ui/About.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"

class Editor : public QMainWindow {
    Q_OBJECT
public:
    // `boxes` shows the window's messages; null: modal message boxes over this
    // window, owned by it.
    explicit Editor(ui::MessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
    ~Editor() override;

    ui::EditorForm form;

    const ui::EditorForm& Form() const { return form; }
    EditorState& State() { return state_; }
    const EditorState& State() const { return state_; }
    ui::MessageBoxes& Messages() { return *boxes_; }

    // Opens the image at `path` as File, Open does once its dialog has
    // answered that path. A path that names no file, or names a folder, gives
    // one message and changes nothing else.
    void OpenFile(const QString& path);

    // The About window while it is open, else null.
    ui::About* AboutWindow() const { return about_.data(); }

public slots:
    void Open_Click();
    void Save_Click();
    void Exit_Click();
    void AboutButton_Click();
    void KreblinLoader_Click();
    void Pitch_Change();
    void Pitch_Scroll();
    void Echo_Change();
    void Echo_Scroll();
    void Length_Change();
    void Length_Scroll();
    void Gender_Change();
    void Gender_Scroll();
    void NoGender_Click();

private:
    EditorState state_;
    std::unique_ptr<ui::QtMessageBoxes> ownBoxes_;
    ui::MessageBoxes* boxes_ = nullptr;
    QPointer<ui::About> about_;
};
