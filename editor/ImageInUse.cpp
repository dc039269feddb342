#include "editor/ImageInUse.h"

#include <QFileInfo>
#include <QLabel>

#include "rom/ImageFacts.h"

namespace {

QString LayoutInWords(const std::optional<rom::ImageLayout>& layout) {
    if (!layout) return QStringLiteral("Version not recognised: nothing can be shown or saved");
    const std::string_view name = rom::LayoutName(*layout);
    QString words = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    if (!words.isEmpty()) words[0] = words[0].toUpper();
    words += QStringLiteral(" layout");
    if (*layout == rom::ImageLayout::Unknown)
        words += QStringLiteral(": the species tables are not where this editor knows them");
    return words;
}

}  // namespace

QString ImageInUseText(const EditorState& state) {
    if (state.RomFile.empty()) return QString::fromLatin1(ui::kNoImageToolTip);
    const QString path = QFileInfo(QString::fromStdString(state.RomFile)).absoluteFilePath();
    return QStringLiteral("Image in use: ") + path + QLatin1Char('\n') + LayoutInWords(state.Layout);
}

void ShowImageInUse(ui::EditorForm& form, const EditorState& state) {
    form.Version->setToolTip(ImageInUseText(state));
}
