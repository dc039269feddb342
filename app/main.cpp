// Quillmere: creates and shows the main window and runs until the last
// window closes or File, Exit is chosen.

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

constexpr char kNeedsSession[] =
    "Quillmere is a window on the desktop and needs a graphical session";

// While the application object connects to the window system, a failure is
// fatal to the toolkit, which would then abort with advice about reinstalling
// its plugins. Instead, say plainly what is missing and end with status 1.
// Other messages are printed as usual, except the plugin loader's.
void ReportUnreachableDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s, but the window system could not be reached (display \"%s\").\n", kNeedsSession,
                     IsSet("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY")
                     : IsSet("DISPLAY")       ? std::getenv("DISPLAY")
                                              : "none");
        std::_Exit(1);
    }
    // The plugin loader's own complaint only repeats the failure as a plugin problem.
    if (context.category != nullptr && std::strcmp(context.category, "qt.qpa.plugin") == 0) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!HasGraphicalSession()) {
        std::fprintf(stderr,
                     "%s, but none was found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or over ssh with X forwarding (ssh -X).\n",
                     kNeedsSession);
        return 1;
    }
    qInstallMessageHandler(ReportUnreachableDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QString::fromLatin1(ui::kApplicationTitle));

    Editor editor;
    // File-access failures are shown in the main window's message boxes.
    ui::InstallFailureReporter(&editor.Messages());

    editor.show();
    const int result = QApplication::exec();
    ui::InstallFailureReporter(nullptr);
    return result;
}
