#include "ui/Artwork.h"

// The resources live in a static library, whose registration object the
// linker would drop; registering them explicitly keeps them in.
static void RegisterArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(quillmere);
        return true;
    }();
    (void)registered;
}

namespace ui {

QIcon AppIcon() {
    RegisterArtwork();
    return QIcon(QStringLiteral(":/quillmere/icon.png"));
}

QPixmap AboutPicture() {
    RegisterArtwork();
    return QPixmap(QStringLiteral(":/quillmere/about.png"));
}

}  // namespace ui
