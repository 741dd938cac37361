#include "ui/QtFileKinds.h"

#include <QFile>
#include <QFileIconProvider>

namespace vorlaxen {

namespace {

// The type's description, up to 80 characters; none for the catch-all type of unknown files.
std::string TypeNameOf(const QMimeType& type) {
    return type.isDefault() ? std::string() : type.comment().left(80).toStdString();
}

} // namespace

QtFileKinds::QtFileKinds() {
    icons_.emplace_back(); // index 0: none
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
                                                                        : QIcon();
}

} // namespace vorlaxen
