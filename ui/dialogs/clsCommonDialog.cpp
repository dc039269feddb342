#include "ui/dialogs/clsCommonDialog.h"

#include <stdexcept>

namespace {

// Only spaces are removed, as the answer buffer is padded with spaces.
QString TrimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

QString clsCommonDialog::ShowOpen(QWidget* hwnd, const QString& Title, const QString& InitDir,
                                  const QString& Filter, int32_t flags) {
    const QString filter = dialogs::ToFilterRecord(Filter);
    const QString startIn = InitDir.isEmpty() ? LastFileName : InitDir;

    ofn_.lStructSize = kRecordSize;
    ofn_.hwndOwner = hwnd;
    ofn_.lpstrFilter = filter;
    ofn_.lpstrFile = QString(kOpenBufferSize - 1, QLatin1Char(' '));
    ofn_.nMaxFile = kOpenBufferSize;
    ofn_.lpstrFileTitle = QString(kOpenBufferSize - 1, QLatin1Char(' '));
    ofn_.nMaxFileTitle = kOpenBufferSize;
    ofn_.lpstrInitialDir = startIn;
    ofn_.lpstrTitle = Title;
    ofn_.Flags = flags;

    QString result;
    if (dialogs::CurrentFileChooser().GetOpenFileName(ofn_)) result = TrimSpaces(dialogs::UpToNul(ofn_.lpstrFile));
    if (!result.isEmpty()) {
        LastFileName = result;
        LastFilterIndex = ofn_.nFilterIndex;
    }
    return result;
}

QString clsCommonDialog::ShowSave(QWidget* hwnd, const QString& Title, const QString& FileName,
                                  const QString& InitDir, const QString& Filter, int32_t flags) {
    if (FileName.size() > kSaveNameSize)
        throw std::invalid_argument("clsCommonDialog::ShowSave: the file name is longer than 128 characters");
    const QString filter = dialogs::ToFilterRecord(Filter);

    ofn_.lStructSize = kRecordSize;
    ofn_.hwndOwner = hwnd;
    ofn_.lpstrFilter = filter;
    ofn_.lpstrFile = FileName + QString(kSaveNameSize - FileName.size(), QChar(u'\0'));
    ofn_.nMaxFile = kSaveNameSize;
    ofn_.lpstrInitialDir = InitDir;
    ofn_.lpstrTitle = Title;
    ofn_.Flags = flags;
    ofn_.lpstrDefExt = QStringLiteral(".gpl");

    if (!dialogs::CurrentFileChooser().GetSaveFileName(ofn_)) return QString();
    LastFilterIndex = ofn_.nFilterIndex;
    return dialogs::UpToNul(ofn_.lpstrFile);
}
