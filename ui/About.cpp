#include "ui/About.h"

#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

namespace ui {
namespace {

QLabel* Text(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(TwipsRect(left, top, width, height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

}  // namespace

About::About() : QWidget(nullptr) {
    setObjectName(QStringLiteral("About"));
    // A tool window has no taskbar entry; a fixed frame with a close button only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Tool windows do not keep the program running by default; this one does,
    // like any other open window of the program.
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(AppIcon());
    setFont(WindowFont());
    setFixedSize(kAboutClientWidth, kAboutClientHeight);

    Label2 = Text(this, "Label2", QStringLiteral("Quillmere"), 120, 0, 4215, 375);
    QFont title = SansFont(18);
    title.setItalic(true);
    title.setWeight(QFont::Normal);
    Label2->setFont(title);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(TwipsRect(120, 480, 780, 555));
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setLineWidth(2);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setScaledContents(false);
    Image1->setPixmap(AboutPicture());

    Label1 = Text(this, "Label1", QStringLiteral("2026 Quillmere team"), 960, 480, 1695, 255);
    Label3 = Text(this, "Label3", QStringLiteral("quillmere.invalid"), 2760, 480, 1575, 255);
    Label4 = Text(this, "Label4", QStringLiteral("'Cause all games were better on the GBC."), 1080, 720, 3015, 255);
    for (QLabel* label : {Label1, Label3, Label4}) FitToWidth(label);
}

}  // namespace ui
