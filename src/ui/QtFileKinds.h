#pragma once

#include "ports/FileKindSource.h"

#include <QIcon>
#include <QMimeDatabase>
#include <map>
#include <vector>

namespace vorlaxen {

// Icons and type names of files from the desktop's MIME database, looked up by name only (reading
// files to guess their type would make a large directory slow). Icons are kept once per type and
// referred to by index; index 0 is "no icon".
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
    std::vector<QIcon> icons_;
    std::map<QString, int> indexOfType_;
    bool large_ = false;
};

} // namespace vorlaxen
