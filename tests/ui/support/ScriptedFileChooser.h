#pragma once
// A file chooser that answers from a script instead of showing a dialog, and
// keeps a copy of every record it was called with. Installed for its lifetime.

#include <deque>
#include <optional>
#include <vector>

#include "ui/dialogs/FileChooser.h"

namespace testing_ui {

struct ChooserAnswer {
    // The text written into lpstrFile as the dialog would (path, NUL, rest of
    // the buffer); nullopt: the user cancelled.
    std::optional<QString> path;
    int filterIndex = 1;
};

class ScriptedFileChooser : public dialogs::FileChooser {
public:
    ScriptedFileChooser() : previous_(dialogs::SetFileChooser(this)) {}
    ~ScriptedFileChooser() override { dialogs::SetFileChooser(previous_); }
    ScriptedFileChooser(const ScriptedFileChooser&) = delete;
    ScriptedFileChooser& operator=(const ScriptedFileChooser&) = delete;

    void Answer(ChooserAnswer answer) { answers_.push_back(std::move(answer)); }
    void Cancel() { answers_.push_back({}); }

    bool GetOpenFileName(dialogs::OpenFileNameRecord& record) override { return Reply(record, false); }
    bool GetSaveFileName(dialogs::OpenFileNameRecord& record) override { return Reply(record, true); }

    struct Call {
        dialogs::OpenFileNameRecord record;  // as it arrived
        bool save;
    };
    std::vector<Call> calls;

private:
    bool Reply(dialogs::OpenFileNameRecord& record, bool save) {
        calls.push_back({record, save});
        if (answers_.empty()) return false;
        const ChooserAnswer answer = answers_.front();
        answers_.pop_front();
        if (!answer.path) return false;
        QString path = *answer.path;
        // A save dialog adds the default extension to a name typed without one.
        if (save && !path.section(QLatin1Char('/'), -1).contains(QLatin1Char('.')))
            path += record.lpstrDefExt;
        QString buffer = path + QChar(u'\0');
        if (record.lpstrFile.size() > buffer.size()) buffer += record.lpstrFile.mid(buffer.size());
        record.lpstrFile = buffer;
        record.nFilterIndex = answer.filterIndex;
        return true;
    }

    std::deque<ChooserAnswer> answers_;
    dialogs::FileChooser* previous_;
};

}  // namespace testing_ui
