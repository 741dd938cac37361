#pragma once

#include <string>

namespace vorlaxen {

// Where the help file and the program's web page are opened: the desktop's application for HTML files
// and its default handler of "https" addresses.
class BrowserLauncher {
public:
    virtual ~BrowserLauncher() = default;
    // The local file at `anchor` ("" for its start), started in `workingDirectory`; false when nothing
    // could be started.
    virtual bool
    OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string& workingDirectory) = 0;
    // A web address; false when no handler could be started.
    virtual bool OpenWebAddress(const std::string& address) = 0;
};

} // namespace vorlaxen
