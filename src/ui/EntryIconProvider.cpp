#include "ui/EntryIconProvider.h"

#include <QMimeDatabase>

namespace vorlaxen {

namespace {

// A directory's type comes from the entry alone; a file's from its name.
bool ByEntry(const QFileInfo& info) {
    return info.isDir() || info.isRoot();
}

QMimeType TypeByName(const QFileInfo& info) {
    return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
}

} // namespace

QIcon EntryIconProvider::icon(const QFileInfo& info) const {
    if (ByEntry(info))
        return QFileIconProvider::icon(info);
    const QMimeType type = TypeByName(info);
    const QIcon themed = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return themed.isNull() ? QFileIconProvider::icon(QFileIconProvider::File) : themed;
}

QString EntryIconProvider::type(const QFileInfo& info) const {
    if (ByEntry(info))
        return QFileIconProvider::type(info);
    const QMimeType type = TypeByName(info);
    return type.comment().isEmpty() ? type.name() : type.comment();
}

EntryIconProvider& EntryIconProvider::Shared() {
    static EntryIconProvider provider;
    return provider;
}

} // namespace vorlaxen
