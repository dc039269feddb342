#include "ui/MessageBoxes.h"

#include <QMessageBox>

#include "rom/FailureReporter.h"

namespace ui {

void QtMessageBoxes::Show(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_.data());
    box.exec();
}

void InstallFailureReporter(MessageBoxes* boxes) {
    if (boxes == nullptr) {
        rom::SetFailureReporter({});
        return;
    }
    rom::SetFailureReporter([boxes](const rom::Failure& failure) {
        boxes->Show(QString::fromStdString(failure.description),
                    QStringLiteral("Error: ") + QString::number(failure.number));
    });
}

}  // namespace ui
