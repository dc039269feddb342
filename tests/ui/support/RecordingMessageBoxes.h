#pragma once
// Message boxes that record what would have been shown instead of showing it.

#include <QString>
#include <vector>

#include "ui/MessageBoxes.h"

namespace testing_ui {

struct ShownMessage {
    QString text;
    QString title;
};

class RecordingMessageBoxes : public ui::MessageBoxes {
public:
    void Show(const QString& text, const QString& title) override { shown.push_back({text, title}); }
    std::vector<ShownMessage> shown;
};

}  // namespace testing_ui
