#pragma once

#include "ports/FileKindSource.h"

#include <QIcon>
#include <QMimeDatabase>
#include <map>
#include <unordered_map>
#include <vector>

namespace vorlaxen {

// Icons and type names of files from the desktop's MIME database, looked up by name only (reading
// files to guess their type would make a large directory slow). What a name was found to be is kept, so
// that a file's icon and its type name cost one lookup, and a directory read again costs none for the
// names seen before. Icons and type names are kept once per type and referred to by index; index 0 is
// "no icon", drawn as an empty square of an icon's size so that every row of a pane is as tall as the
// others, with or without an icon. The icons come from the desktop's icon theme, found again when the
// theme changes; where it has none for a type (no theme at all outside a desktop environment), from
// the Adwaita theme, which the program depends on, before Qt's one generic file icon.
class QtFileKinds : public FileKindSource {
public:
    QtFileKinds();

    int GetImageIndex(const std::string& path) override;
    std::string TypeName(const std::string& path) override;

    QIcon icon(int index) const;
    // Large icons are drawn from the same icons at another size; the index does not change.
    void setLargeIcons(bool large) { large_ = large; }
    bool largeIcons() const { return large_; }
    // How many times a name was looked up in the MIME database.
    std::size_t lookups() const { return lookups_; }

private:
    struct Kind {
        QString iconName;
        QString genericIconName;
        std::string typeName;
        QIcon icon;
    };
    // The kind of a file by the last part of its path; its index into kinds_.
    int KindOf(const std::string& path);
    QIcon FindIcon(const Kind& kind) const;

    QMimeDatabase database_;
    mutable std::vector<Kind> kinds_; // [0]: the empty square, no type name
    std::map<QString, int> indexOfType_;
    std::unordered_map<std::string, int> kindOfName_;
    mutable QString theme_; // the icon theme the icons were found in
    bool large_ = false;
    std::size_t lookups_ = 0;
};

} // namespace vorlaxen
