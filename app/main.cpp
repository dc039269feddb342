// Quillmere: creates and shows the main window and runs until the last
// window closes or File, Exit is chosen. `quillmere IMAGE` opens the image
// at start, as File, Open would.

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "editor/Editor.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"

namespace {

// Whether the arguments ask only for --help or --version. Those need no
// display, so the program answers them without starting the window system.
bool AsksOnlyForText(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) return true;
        }
    }
    return false;
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Without a display to show the window on (and no platform chosen by hand,
// in the environment or with Qt's -platform option) the toolkit would abort
// with advice about its plugins; say what is missing.
bool HasGraphicalSession(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
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
    // Qt's own options (-platform, -style, ...) are taken out of the
    // arguments by QApplication before the parser sees them.
    const bool textOnly = AsksOnlyForText(argc, argv);
    if (!textOnly && !HasGraphicalSession(argc, argv)) {
        std::fprintf(stderr,
                     "%s, but none was found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or over ssh with X forwarding (ssh -X).\n",
                     kNeedsSession);
        return 1;
    }
    if (!textOnly) qInstallMessageHandler(ReportUnreachableDisplay);
    const std::unique_ptr<QCoreApplication> app = textOnly ? std::make_unique<QCoreApplication>(argc, argv)
                                                           : std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(nullptr);
    QCoreApplication::setApplicationName(QString::fromLatin1(ui::kApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMERE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Edits the per-species data in ROM images of Kreblin Gold, Silver and Crystal Version."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("The ROM image (*.gbc) to open at start."),
                                 QStringLiteral("[IMAGE]"));
    if (textOnly) {
        // Without the window system Qt's window options are unknown to the
        // parser; they do not change the text, so they are not refused here.
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
        parser.showHelp(0);
    }
    parser.process(*app);
    const QStringList images = parser.positionalArguments();
    if (images.size() > 1) {
        std::fputs("quillmere: one IMAGE at most; see quillmere --help\n", stderr);
        return 2;
    }

    Editor editor;
    // File-access failures are shown in the main window's message boxes.
    ui::InstallFailureReporter(&editor.Messages());

    editor.show();
    if (!images.isEmpty()) editor.OpenFile(images.front());
    const int result = QApplication::exec();
    ui::InstallFailureReporter(nullptr);
    return result;
}
