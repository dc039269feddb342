#pragma once
// A wrapper around the open and save file dialogs: turns a "|"-separated
// filter into the dialog's list, supplies the answer buffers and returns the
// chosen path as plain text (empty on cancel). Remembers, per object, the
// last file opened and the filter pair in use when a dialog was confirmed.

#include <QString>
#include <QWidget>
#include <cstdint>

#include "ui/dialogs/FileChooser.h"

class clsCommonDialog {
public:
    // Open dialog. An empty InitDir starts in LastFileName. Returns the chosen
    // path without surrounding spaces, or empty text on cancel.
    QString ShowOpen(QWidget* hwnd, const QString& Title, const QString& InitDir, const QString& Filter,
                     int32_t flags);

    // Save dialog offering FileName (at most 128 characters; a longer name
    // throws std::invalid_argument before any dialog). A name typed without
    // extension gets ".gpl". Returns the chosen path, or empty text.
    QString ShowSave(QWidget* hwnd, const QString& Title, const QString& FileName, const QString& InitDir,
                     const QString& Filter, int32_t flags);

    // The 1-based filter pair in use at the last confirmed dialog; 0 before.
    int32_t FilterIndex() const { return LastFilterIndex; }

    // The record of the last call (fields an earlier call set stay as they were).
    const dialogs::OpenFileNameRecord& Record() const { return ofn_; }

    QString LastFileName;
    int32_t LastFilterIndex = 0;

    static constexpr int32_t kRecordSize = 76;
    static constexpr int32_t kOpenBufferSize = 255;
    static constexpr int32_t kSaveNameSize = 128;

private:
    dialogs::OpenFileNameRecord ofn_;
};
