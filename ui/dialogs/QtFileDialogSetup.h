#pragma once
// How the Qt chooser turns a dialog record into a QFileDialog and writes the
// answer back into the record; separate so that both can be checked without
// showing a dialog.

#include <QFileDialog>

#include "ui/dialogs/FileChooser.h"

namespace dialogs {

// Title, modality, open or save mode, existing-file rule, name filters and the
// filter in use, start folder, offered name and default suffix.
void ConfigureFileDialog(QFileDialog& dialog, const OpenFileNameRecord& record, bool save);

// Writes `path` NUL-ended into lpstrFile (and its name into lpstrFileTitle)
// and sets nFilterIndex. False, record unchanged, when the path does not fit.
bool StoreAnswer(OpenFileNameRecord& record, const QString& path, int filterIndex);

}  // namespace dialogs
