// Quillmere: creates and shows the main window and runs until the last
// window closes or File, Exit is chosen. `quillmere IMAGE` opens the image
// at start, as File, Open would.

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
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
        for (const char* option : {"-h", "--help", "-?", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Qt's own options (-platform, -style, ...) are taken out of the
    // arguments by QApplication before the parser sees them.
    const bool textOnly = AsksOnlyForText(argc, argv);
    const std::unique_ptr<QCoreApplication> app = textOnly ? std::make_unique<QCoreApplication>(argc, argv)
                                                           : std::make_unique<QApplication>(argc, argv);
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
