#include "desktop/HelpViewer.h"

#include "engine/Messages.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>

namespace vorlaxen {

void HelpViewer::OpenHelp(int topic) {
    struct stat st;
    if (::stat(helpFile_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    status_.ShowStatus(kExecutingApplication);
    (void)browser_.OpenDocumentAt(helpFile_, topic > 0 ? TopicAnchor(topic) : std::string(), DirectoryOf(helpFile_));
    status_.ShowStatus(kIdle);
}

} // namespace vorlaxen
