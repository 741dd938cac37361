#include "ui/QtFileKinds.h"

#include <QFile>
#include <QFileIconProvider>
#include <QPixmap>
#include <QStandardPaths>

namespace vorlaxen {

namespace {

// The type's description, up to 80 characters; none for the catch-all type of unknown files.
std::string TypeNameOf(const QMimeType& type) {
    return type.isDefault() ? std::string() : type.comment().left(80).toStdString();
}

} // namespace

QtFileKinds::QtFileKinds() {
    // A platform without an icon theme of its own (offscreen, minimal) has neither a theme nor a place to
    // look for one: the desktop's standard icon directories stand in, with the base theme of them all.
    if (QIcon::themeName().isEmpty()) {
        QStringList paths = QIcon::themeSearchPaths();
        paths << QStandardPaths::locateAll(
            QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("hicolor"));
    }
    // The base theme has no icons for file types; outside a desktop environment it is all there is.
    const QString fallback = QIcon::fallbackThemeName();
    if (fallback.isEmpty() || fallback == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    QIcon none;
    for (int size : {16, 32}) {
        QPixmap empty(size, size);
        empty.fill(Qt::transparent);
        none.addPixmap(empty);
    }
    icons_.push_back(none);
}

int QtFileKinds::GetImageIndex(const std::string& path) {
    const QMimeType type = database_.mimeTypeForFile(QFile::decodeName(path.c_str()), QMimeDatabase::MatchExtension);
    auto found = indexOfType_.find(type.name());
    if (found != indexOfType_.end())
        return found->second;
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    int index = 0;
    if (!icon.isNull()) {
        icons_.push_back(icon);
        index = static_cast<int>(icons_.size() - 1);
    }
    indexOfType_[type.name()] = index;
    return index;
}

std::string QtFileKinds::TypeName(const std::string& path) {
    return TypeNameOf(database_.mimeTypeForFile(QFile::decodeName(path.c_str()), QMimeDatabase::MatchExtension));
}

QIcon QtFileKinds::icon(int index) const {
    return index > 0 && static_cast<std::size_t>(index) < icons_.size() ? icons_[static_cast<std::size_t>(index)]
                                                                        : icons_[0];
}

} // namespace vorlaxen
