#pragma once

#include <string>

namespace vorlaxen {

// Opening documents and web addresses for reading, the stand-ins for the shell's "open" of a help file
// at a topic and of the registered browser command. The application is started as our child and left
// running; the event loop reaps it when it ends.

// Opens the local file `path` in the application that the desktop associates with its type (for an HTML
// file, the web browser), started in `workingDirectory` when that is not empty. With an `anchor`, an
// application that takes URIs gets the file's URI with "#anchor", so that it opens there; one that takes
// only file names gets the file's path. False when no application is associated or it cannot be started.
bool OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string& workingDirectory);

// Opens a web address ("https://...") with the desktop's default handler of its scheme. False when there
// is none or it cannot be started.
bool OpenWebAddress(const std::string& address);

} // namespace vorlaxen
