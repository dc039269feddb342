// Quillmere: creates and shows the main window and runs until the last
// window closes or File, Exit is chosen.

#include <QApplication>

#include "editor/Editor.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ui::kApplicationTitle));

    Editor editor;
    // File-access failures are shown in the main window's message boxes.
    ui::InstallFailureReporter(&editor.Messages());

    editor.show();
    const int result = QApplication::exec();
    ui::InstallFailureReporter(nullptr);
    return result;
}
