// A run of the main window that opens an image through the real file dialog:
// the dialog is answered with the path given as the only argument, as a user
// would answer it, and the program ends once the image is shown. Started by
// the editor tests in a process of its own, with its own configuration folder.
// Exit status: 0 the image was opened, 2 bad call, 3 it was not.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

#include "editor/Editor.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);

    Editor editor;
    editor.show();
    // Answers the dialog as a user does: the path typed into its name field,
    // then Open once the dialog has found the file.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&image] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name == nullptr) continue;
            if (name->text() != image) name->setText(image);
            if (!dialog->selectedFiles().isEmpty()) static_cast<QDialog*>(dialog)->accept();  // as Open does
        }
    });
    answer.start(20);
    QTimer::singleShot(20000, [] { std::_Exit(3); });  // the dialog never showed up

    editor.form.Open->trigger();
    answer.stop();
    const bool opened = editor.State().RomFile == image.toStdString() && editor.form.FrameKreblin->isEnabled();
    std::printf("%s: %s\n", qPrintable(image), qPrintable(editor.form.Version->text()));
    return opened ? 0 : 3;
}
