#pragma once

#include "desktop/DroppedFiles.h"

#include <QObject>
#include <functional>

class QDropEvent;

namespace vorlaxen {

class FilePaneView;

// Files dropped on the window from a file manager: over "Crypted files" the plain files are encrypted,
// over "Available for encryption" the containers decrypted, anywhere else each file by its name
// (PlanDrop). The drag is accepted as a copy, so that the file manager keeps its files in place, and only
// when something in it fits where it is over; the files are processed once the drop has returned to the
// file manager. Drags between the panes are the panes' own.
class FileDrops : public QObject {
public:
    FileDrops(QWidget& window,
              const FilePaneView& source,
              const FilePaneView& crypted,
              std::function<void(const std::vector<DroppedRun>&)> process);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<DroppedRun> Plan(const QDropEvent& event) const;
    static bool Accept(QDropEvent& event, bool fits);

    QWidget& window_;
    const FilePaneView& source_;
    const FilePaneView& crypted_;
    std::function<void(const std::vector<DroppedRun>&)> process_;
};

} // namespace vorlaxen
