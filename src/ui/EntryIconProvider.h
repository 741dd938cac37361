#pragma once

#include <QFileIconProvider>

namespace vorlaxen {

// Icons and type names for the key file's dialog, taken from a file's name and its directory entry, never
// from its content. Qt's own provider, which a file dialog uses unless given another, reads up to 16 KiB
// of every file it is asked about, and the dialog asks about every entry of the directory it lists: a
// decrypted file's first bytes would be left in memory that is freed without being overwritten.
class EntryIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

    // The provider of the whole program; it outlives every model that uses it.
    static EntryIconProvider& Shared();
};

} // namespace vorlaxen
