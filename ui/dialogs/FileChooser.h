#pragma once
// The record a file dialog call is made with, and the chooser that answers
// it. clsCommonDialog fills the record and hands it to the current chooser;
// the program's chooser is a modal Qt file dialog, tests install their own.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace dialogs {

// Dialog flags, passed through unchanged.
inline constexpr int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr int32_t OFN_PATHMUSTEXIST = 0x800;
inline constexpr int32_t OFN_FILEMUSTEXIST = 0x1000;

// The fields of one file dialog call, in the order of the classic 76-byte
// dialog record. Text buffers hold their full contents, NULs included.
struct OpenFileNameRecord {
    int32_t lStructSize = 0;
    QPointer<QWidget> hwndOwner;
    QString lpstrFilter;      // pairs of description and pattern, each ended by a NUL
    QString lpstrFile;        // in: the name offered; out: the chosen path, NUL-ended
    int32_t nMaxFile = 0;     // the buffer size lpstrFile stands for, terminator included
    QString lpstrFileTitle;   // out: the chosen file's name without its folder
    int32_t nMaxFileTitle = 0;
    QString lpstrInitialDir;  // folder (or file) to start in; empty: the chooser's default
    QString lpstrTitle;       // the dialog's caption
    int32_t Flags = 0;
    int32_t nFilterIndex = 0;  // out: 1-based position of the filter pair in use
    QString lpstrDefExt;       // appended to a saved name typed without extension
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Both return true when the user confirmed a file, false on cancel or failure.
    virtual bool GetOpenFileName(OpenFileNameRecord& record) = 0;
    virtual bool GetSaveFileName(OpenFileNameRecord& record) = 0;
};

// The chooser clsCommonDialog objects use. Installs `chooser` (nullptr: the
// Qt one) and returns the one it replaces, so a caller can put it back.
FileChooser* SetFileChooser(FileChooser* chooser);
FileChooser& CurrentFileChooser();

// "A|b|" -> the pairs of a filter record (every "|" a NUL, NUL-ended).
QString ToFilterRecord(const QString& filter);

// The pairs of a filter record as Qt name filters: "GBC ROMs (*.gbc)" with
// pattern "*.gbc" stays as it is; a description that does not list its
// patterns gets them appended in parentheses.
QStringList ToNameFilters(const QString& filterRecord);

// The text of a buffer up to its first NUL.
QString UpToNul(const QString& buffer);

// The modal Qt file dialog.
class QtFileChooser : public FileChooser {
public:
    bool GetOpenFileName(OpenFileNameRecord& record) override;
    bool GetSaveFileName(OpenFileNameRecord& record) override;
};

}  // namespace dialogs
