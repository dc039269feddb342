#include "ui/dialogs/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

#include <mutex>

#include "ui/dialogs/QtFileDialogSetup.h"

namespace dialogs {
namespace {

FileChooser& QtChooser() {
    static QtFileChooser chooser;
    return chooser;
}

FileChooser* g_chooser = nullptr;

// Qt's file dialog reads its last folder, view and history from the toolkit's
// own settings file in the user's configuration folder when it is created, and
// writes them back when it is destroyed. The program keeps nothing between
// runs, so the user settings of this process point at a folder that can never
// exist (below a device file): nothing is read and every write fails quietly.
// Nothing else in the program uses settings.
void KeepNoDialogSettings() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QString nowhere = QStringLiteral("/dev/null/quillmere-keeps-no-settings");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
    });
}

bool Run(OpenFileNameRecord& record, bool save) {
    KeepNoDialogSettings();
    QFileDialog dialog(record.hwndOwner.data());
    ConfigureFileDialog(dialog, record, save);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    const int filterIndex = static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
    return StoreAnswer(record, chosen.front(), filterIndex);
}

}  // namespace

FileChooser* SetFileChooser(FileChooser* chooser) {
    FileChooser* previous = g_chooser;
    g_chooser = chooser;
    return previous;
}

FileChooser& CurrentFileChooser() { return g_chooser != nullptr ? *g_chooser : QtChooser(); }

QString ToFilterRecord(const QString& filter) {
    QString record = filter;
    record.replace(QLatin1Char('|'), QChar(u'\0'));
    if (!record.endsWith(QChar(u'\0'))) record.append(QChar(u'\0'));
    return record;
}

QStringList ToNameFilters(const QString& filterRecord) {
    const QStringList parts = filterRecord.split(QChar(u'\0'), Qt::KeepEmptyParts);
    QStringList filters;
    // The record ends in a NUL, so the last part is empty; only whole pairs count.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QStringList cleaned;
        for (const QString& pattern : patterns)
            if (!pattern.trimmed().isEmpty()) cleaned.append(pattern.trimmed());
        if (cleaned.isEmpty()) continue;
        // Qt reads a filter's patterns from its last parentheses, space-separated.
        const QString list = cleaned.join(QLatin1Char(' '));
        if (description.trimmed().endsWith(QLatin1Char('(') + list + QLatin1Char(')')))
            filters.append(description.trimmed());
        else
            filters.append(description.trimmed() + QStringLiteral(" (") + list + QLatin1Char(')'));
    }
    return filters;
}

QString UpToNul(const QString& buffer) {
    const qsizetype end = buffer.indexOf(QChar(u'\0'));
    return end < 0 ? buffer : buffer.left(end);
}

bool QtFileChooser::GetOpenFileName(OpenFileNameRecord& record) { return Run(record, false); }

bool QtFileChooser::GetSaveFileName(OpenFileNameRecord& record) { return Run(record, true); }

void ConfigureFileDialog(QFileDialog& dialog, const OpenFileNameRecord& record, bool save) {
    dialog.setWindowTitle(record.lpstrTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    // Always the toolkit's own dialog: a desktop's dialog (through a platform
    // theme) keeps its own recent-files list and settings outside the image.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The dialog never offers a read-only choice, so OFN_HIDEREADONLY needs nothing.
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else
        dialog.setFileMode((record.Flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    const QStringList filters = ToNameFilters(record.lpstrFilter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (record.nFilterIndex >= 1 && record.nFilterIndex <= filters.size())
            dialog.selectNameFilter(filters[record.nFilterIndex - 1]);
    }
    const QString start = record.lpstrInitialDir;
    if (!start.isEmpty()) {
        const QFileInfo info(start);
        if (info.isDir()) {
            dialog.setDirectory(start);
        } else {
            // A file to start at: open its folder with the file selected.
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    if (save) {
        const QString offered = UpToNul(record.lpstrFile);
        if (!offered.isEmpty()) dialog.selectFile(offered);
        dialog.setDefaultSuffix(record.lpstrDefExt);  // a leading "." is dropped by the dialog
    }
}

bool StoreAnswer(OpenFileNameRecord& record, const QString& path, int filterIndex) {
    // Like the system dialog: the path and its terminator must fit the buffer.
    if (path.isEmpty() || path.size() + 1 > record.nMaxFile) return false;
    QString file = path + QChar(u'\0');
    if (record.lpstrFile.size() > file.size()) file += record.lpstrFile.mid(file.size());
    record.lpstrFile = file;
    const QString name = QFileInfo(path).fileName();
    if (record.nMaxFileTitle > 0 && name.size() + 1 <= record.nMaxFileTitle) {
        QString title = name + QChar(u'\0');
        if (record.lpstrFileTitle.size() > title.size()) title += record.lpstrFileTitle.mid(title.size());
        record.lpstrFileTitle = title;
    }
    record.nFilterIndex = filterIndex;
    return true;
}

}  // namespace dialogs
