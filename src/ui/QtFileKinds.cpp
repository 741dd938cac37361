#include "ui/QtFileKinds.h"

#include "engine/ContainerName.h"

#include <QFile>
#include <QFileIconProvider>
#include <QPixmap>
#include <QStandardPaths>

namespace vorlaxen {

namespace {

// Names remembered at most; a directory of more names than this is looked up again when it is read again.
constexpr std::size_t kNamesKept = 65536;

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
    theme_ = QIcon::themeName();
    Kind none;
    for (int size : {16, 32}) {
        QPixmap empty(size, size);
        empty.fill(Qt::transparent);
        none.icon.addPixmap(empty);
    }
    kinds_.push_back(std::move(none));
}

QIcon QtFileKinds::FindIcon(const Kind& kind) const {
    QIcon icon = QIcon::fromTheme(kind.iconName, QIcon::fromTheme(kind.genericIconName));
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    return icon;
}

int QtFileKinds::KindOf(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    // Every container is of the containers' type, whatever comes before its ".cry": one lookup for all.
    const std::string key = HasContainerExtension(name) ? std::string(kContainerExtension) : name;
    if (const auto known = kindOfName_.find(key); known != kindOfName_.end())
        return known->second;
    ++lookups_;
    const QMimeType type =
        database_.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(name)), QMimeDatabase::MatchExtension);
    auto found = indexOfType_.find(type.name());
    if (found == indexOfType_.end()) {
        Kind kind;
        kind.iconName = type.iconName();
        kind.genericIconName = type.genericIconName();
        kind.typeName = TypeNameOf(type);
        kind.icon = FindIcon(kind);
        kinds_.push_back(std::move(kind));
        found = indexOfType_.emplace(type.name(), static_cast<int>(kinds_.size() - 1)).first;
    }
    if (kindOfName_.size() >= kNamesKept)
        kindOfName_.clear();
    kindOfName_.emplace(key, found->second);
    return found->second;
}

int QtFileKinds::GetImageIndex(const std::string& path) {
    const int kind = KindOf(path);
    return kinds_[static_cast<std::size_t>(kind)].icon.isNull() ? 0 : kind;
}

std::string QtFileKinds::TypeName(const std::string& path) {
    return kinds_[static_cast<std::size_t>(KindOf(path))].typeName;
}

QIcon QtFileKinds::icon(int index) const {
    if (const QString theme = QIcon::themeName(); theme != theme_) {
        theme_ = theme;
        for (std::size_t i = 1; i < kinds_.size(); ++i)
            kinds_[i].icon = FindIcon(kinds_[i]);
    }
    return index > 0 && static_cast<std::size_t>(index) < kinds_.size() ? kinds_[static_cast<std::size_t>(index)].icon
                                                                        : kinds_[0].icon;
}

} // namespace vorlaxen
