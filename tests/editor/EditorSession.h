#pragma once
// A main window driven the way a user drives it, with the file chooser and
// the message boxes answered by the test: nothing is ever shown.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

#include <string>

#include "editor/Editor.h"
#include "tests/ui/support/RecordingMessageBoxes.h"
#include "tests/ui/support/ScriptedFileChooser.h"

namespace testing_editor {

class EditorSession {
public:
    EditorSession() { ui::InstallFailureReporter(&boxes); }
    ~EditorSession() { ui::InstallFailureReporter(nullptr); }
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // File, Open answered with `path`.
    void Open(const std::string& path) {
        chooser.Answer({QString::fromStdString(path)});
        editor.Open_Click();
    }
    // File, Open answered with Cancel.
    void OpenCancelled() {
        chooser.Cancel();
        editor.Open_Click();
    }
    // A click on a species in the list.
    void Select(int row) { editor.form.KreblinLoader->setCurrentRow(row); }
    void Save() { editor.Save_Click(); }

    template <class Widget>
    Widget& Control(const char* name) {
        auto* widget = editor.findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) throw std::logic_error(std::string("no control ") + name);
        return *widget;
    }
    QLineEdit& Box(const char* name) { return Control<QLineEdit>(name); }
    QComboBox& Combo(const char* name) { return Control<QComboBox>(name); }
    QScrollBar& Slider(const char* name) { return Control<QScrollBar>(name); }

    // Typing into a combo box's edit field without choosing an entry.
    void TypeInto(const char* combo, const QString& text) { Combo(combo).setEditText(text); }

    size_t MessageCount() const { return boxes.shown.size(); }
    const testing_ui::ShownMessage& LastMessage() const { return boxes.shown.back(); }

    testing_ui::RecordingMessageBoxes boxes;
    testing_ui::ScriptedFileChooser chooser;
    Editor editor{&boxes};
};

}  // namespace testing_editor
