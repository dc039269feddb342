#include "editor/ImageInUse.h"

#include <QFileInfo>
#include <QLabel>

#include <string>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesNames.h"
#include "rom/VersionDetection.h"
#include "rom/WholeFiles.h"
#include "tables/ImageFiles.h"
#include "tables/NameText.h"

namespace {

QString LayoutInWords(const EditorState& state) {
    const std::optional<rom::ResolvedLayout>& layout = state.Layout;
    if (!layout) {
        // The version code holds the header byte's digits read as decimal.
        if (rom::RecognizeVersion(std::to_string(state.VersionCode)))
            return QStringLiteral("Layout not known: the image could not be read, so nothing can be shown or saved");
        return QStringLiteral("Version not recognised: nothing can be shown or saved");
    }
    const std::string_view name = rom::LayoutName(layout->kind);
    QString words = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    if (!words.isEmpty()) words[0] = words[0].toUpper();
    words += QStringLiteral(" layout");
    switch (layout->kind) {
        case rom::ImageLayout::Released:
            if (layout->release != nullptr)
                words += QStringLiteral(": ") + QString::fromStdString(rom::ReleaseShortName(*layout->release));
            break;
        case rom::ImageLayout::Modified: {
            // "Modified game layout, based on Kreblin Crystal Version (American release)"
            const std::string_view version = rom::VersionCaption(layout->version);
            words += QStringLiteral(", based on ") +
                     QString::fromLatin1(version.data(), static_cast<qsizetype>(version.size()));
            if (layout->release != nullptr)
                words += QStringLiteral(" (") + QString::fromStdString(rom::ReleaseShortName(*layout->release)) +
                         QStringLiteral(")");
            words += QStringLiteral(": its code proves where its tables are");
            break;
        }
        case rom::ImageLayout::TablesFile:
            words += QStringLiteral(": ") + QFileInfo(QString::fromStdString(layout->tablesFile)).absoluteFilePath();
            break;
        case rom::ImageLayout::HandBuilt:
            break;
        case rom::ImageLayout::Unknown:
            words += QStringLiteral(": the species tables are not confirmed, so nothing can be shown or saved");
            break;
    }
    return words;
}

}  // namespace

QString ImageInUseText(const EditorState& state) {
    if (state.RomFile.empty()) return QString::fromLatin1(ui::kNoImageToolTip);
    const QString path = QFileInfo(QString::fromStdString(state.RomFile)).absoluteFilePath();
    QString text = QStringLiteral("Image in use: ") + path + QLatin1Char('\n') + LayoutInWords(state);
    const auto shown = static_cast<size_t>(state.SpeciesIndex);
    if (state.Layout && state.Layout->profile && shown < state.ImageNames.size()) {
        text += QStringLiteral("\nName in the image: ") + QString::fromStdString(state.ImageNames[shown]);
    }
    return text;
}

std::vector<std::string> ReadImageSpeciesNames(const std::string& path, const rom::ResolvedLayout& layout) {
    const rom::FileRead read = rom::ReadWholeFile(path, tables::kLargestImage);
    if (read.status != rom::FileStatus::Done) return {};
    // An image built by hand is laid out piece by piece, its names not
    // looked for: they are looked for here, in the bytes just read.
    rom::ResolvedLayout located = layout;
    if (!located.names.table && located.names.fault.empty()) located.names = rom::LocateSpeciesNames(read.bytes);
    const tables::ImageNames names = tables::ReadImageNames(read.bytes, located);
    if (!names.table) return {};
    std::vector<std::string> texts;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) texts.push_back(names.TextOf(p));
    return texts;
}

void ShowImageInUse(ui::EditorForm& form, const EditorState& state) {
    form.Version->setToolTip(ImageInUseText(state));
}
