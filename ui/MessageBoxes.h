#pragma once
// The one way the program shows a message: a text, a title, one OK button and
// no icon. The real implementation shows a modal message box; tests install
// one that records what would have been shown.

#include <QPointer>
#include <QString>
#include <QWidget>

namespace ui {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void Show(const QString& text, const QString& title) = 0;
};

// Modal message boxes over `parent` (which may be null).
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    void Show(const QString& text, const QString& title) override;

private:
    QPointer<QWidget> parent_;
};

// Makes `boxes` the reporter of ROM file-access failures: the title is
// "Error: " and the failure's number, the text its description. `boxes` must
// outlive its use as reporter; installing nullptr restores the default.
void InstallFailureReporter(MessageBoxes* boxes);

}  // namespace ui
