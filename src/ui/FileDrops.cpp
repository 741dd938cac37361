#include "ui/FileDrops.h"

#include "ui/FilePaneView.h"
#include "ui/PaneModel.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace vorlaxen {

FileDrops::FileDrops(QWidget& window,
                     const FilePaneView& source,
                     const FilePaneView& crypted,
                     std::function<void(const std::vector<DroppedRun>&)> process)
    : QObject(&window)
    , window_(window)
    , source_(source)
    , crypted_(crypted)
    , process_(std::move(process)) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

std::vector<DroppedRun> FileDrops::Plan(const QDropEvent& event) const {
    const QMimeData* data = event.mimeData();
    if (!data || !data->hasUrls() || data->hasFormat(PaneModel::kDragFormat))
        return {};
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    std::optional<Pane> pane;
    if (const QWidget* over = window_.childAt(event.position().toPoint())) {
        if (over == &source_ || source_.isAncestorOf(over))
            pane = Pane::Source;
        else if (over == &crypted_ || crypted_.isAncestorOf(over))
            pane = Pane::Crypted;
    }
    return PlanDrop(paths, pane);
}

// A copy, so that the file manager keeps its files; taken only when something fits where it is over.
bool FileDrops::Accept(QDropEvent& event, bool fits) {
    const bool taken = fits && (event.possibleActions() & Qt::CopyAction);
    event.setDropAction(taken ? Qt::CopyAction : Qt::IgnoreAction);
    event.setAccepted(taken);
    return taken;
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        Accept(*drag, !Plan(*drag).empty());
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        std::vector<DroppedRun> runs = Plan(*drop);
        // The file manager waits for the drop to return: the password prompts come after it.
        if (Accept(*drop, !runs.empty()))
            QTimer::singleShot(0, this, [this, runs = std::move(runs)] { process_(runs); });
        return true;
    }
    default:
        return false;
    }
}

} // namespace vorlaxen
