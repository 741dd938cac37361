#pragma once

#include "ports/FileKindSource.h"

#include <QIcon>
#include <QMimeDatabase>
#include <map>
#include <vector>

namespace vorlaxen {

// Icons and type names of files from the desktop's MIME database, looked up by name only (reading
// files to guess their type would make a large directory slow). Icons are kept once per type and
// referred to by index; index 0 is "no icon", drawn as an empty square of an icon's size so that
// every row of a pane is as tall as the others, with or without an icon. The icons come from the
// desktop's icon theme; where it has none for a type (no theme at all outside a desktop environment),
// from the Adwaita theme, which the program depends on, before Qt's one generic file icon.
class QtFileKinds : public FileKindSource {
public:
    QtFileKinds();

    int GetImageIndex(const std::string& path) override;
    std::string TypeName(const std::string& path) override;

    QIcon icon(int index) const;
    // Large icons are drawn from the same icons at another size; the index does not change.
    void setLargeIcons(bool large) { large_ = large; }
    bool largeIcons() const { return large_; }

private:
    QMimeDatabase database_;
    std::vector<QIcon> icons_; // [0]: the empty square
    std::map<QString, int> indexOfType_;
    bool large_ = false;
};

} // namespace vorlaxen
