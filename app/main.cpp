// Quillmere: creates and shows the main window and runs until the last
// window closes or File, Exit is chosen.

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "editor/Editor.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Without a display to show the window on (and no platform chosen by hand)
// the toolkit would abort with advice about its plugins; say what is missing.
bool HasGraphicalSession() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!HasGraphicalSession()) {
        std::fprintf(stderr,
                     "Quillmere is a window on the desktop and needs a graphical session, but none was found "
                     "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or over ssh with X forwarding (ssh -X).\n");
        return 1;
    }
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
