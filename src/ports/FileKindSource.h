#pragma once

#include <string>

namespace vorlaxen {

// What the system knows about a file beyond its status: its icon and the name of its type.
class FileKindSource {
public:
    virtual ~FileKindSource() = default;
    // The icon index of the file; 0 when there is none.
    virtual int GetImageIndex(const std::string& path) = 0;
    // The name of the file's type; "" when it is not known.
    virtual std::string TypeName(const std::string& path) = 0;
};

} // namespace vorlaxen
