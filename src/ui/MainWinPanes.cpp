// The panes' contents, the drive box and the directory tree.

#include "engine/ContainerName.h"
#include "engine/Messages.h"
#include "fileops/DirectoryListing.h"
#include "ui/DirectoryTreeModel.h"
#include "ui/PaneModel.h"
#include "ui/PaneWatch.h"
#include "ui/TComboChange.h"
#include "ui/TMainWin.h"
#include "ui/ThemeEmphasis.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <climits>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vorlaxen {

void TMainWin::CreateDirPanel() {
    Dir_Panel = new QWidget(this);
    Dir_Panel->setObjectName("Dir_Panel");
    Dir_Panel->resize(190, Dir_Panel->height());

    DriveComboBox1 = new QComboBox(Dir_Panel);
    DriveComboBox1->setObjectName("DriveComboBox1");
    // Named by what it is; its value is the drive. Screen readers on Linux take a combo box's name from
    // the label linked to it, which the window does not show.
    DriveComboBox1->setAccessibleName("Drive");
    DriveComboBox1->view()->setAccessibleName("Drive");
    auto* driveLabel = new QLabel("Drive", Dir_Panel);
    driveLabel->setObjectName("Drive_Label");
    driveLabel->setBuddy(DriveComboBox1);
    driveLabel->hide();
    FillDriveBox();

    directories_ = new DirectoryTreeModel(this);
    User_DirectoryListBox = new QTreeView(Dir_Panel);
    User_DirectoryListBox->setObjectName("User_DirectoryListBox");
    User_DirectoryListBox->setAccessibleName("Folders");
    User_DirectoryListBox->setModel(directories_);
    User_DirectoryListBox->setHeaderHidden(true);
    // The names column is as wide as its names, so that a deep directory can be scrolled into view.
    User_DirectoryListBox->header()->setStretchLastSection(false);
    User_DirectoryListBox->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    User_DirectoryListBox->setRootIndex(directories_->index(currentDrive_));
    User_DirectoryListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    User_DirectoryListBox->installEventFilter(this);
    // The tree starts at the process's current directory.
    const QModelIndex start = directories_->index(QDir::currentPath());
    User_DirectoryListBox->setCurrentIndex(start);
    User_DirectoryListBox->scrollTo(start);
    // Directories that come or go above the shown one move its row. Until the user takes the tree in
    // hand, the tree follows the row, once for each batch of changes.
    treeScroll_ = new QTimer(this);
    treeScroll_->setSingleShot(true);
    treeScroll_->setInterval(0);
    connect(treeScroll_, &QTimer::timeout, this, &TMainWin::ScrollTreeToShownDirectory);
    auto follow = [this] {
        if (treeFollows_)
            treeScroll_->start();
    };
    connect(directories_, &QAbstractItemModel::rowsInserted, treeScroll_, follow);
    connect(directories_, &QAbstractItemModel::rowsRemoved, treeScroll_, follow);
    User_DirectoryListBox->viewport()->installEventFilter(this);
    connect(User_DirectoryListBox->selectionModel(),
            &QItemSelectionModel::currentChanged,
            this,
            &TMainWin::TreeDirectoryChanged);
    connect(User_DirectoryListBox, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        treeMenu_->popup(User_DirectoryListBox->viewport()->mapToGlobal(at));
    });

    comboChange_ = new TComboChange(&TMainWin::DriveReady, this);
    connect(DriveComboBox1, &QComboBox::activated, this, &TMainWin::DriveChosen);
}

// The mounted file systems that hold files of the user's: the root, the home directory's file system and
// removable media; each by its mount point.
void TMainWin::FillDriveBox() {
    QStringList roots;
    const QString root = QDir::rootPath();
    roots << root;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString path = volume.rootPath();
        if (volume.device().startsWith("/dev/") && !roots.contains(path) && !path.startsWith("/boot"))
            roots << path;
    }
    const QString current = QDir::currentPath();
    currentDrive_ = root;
    for (const QString& path : roots)
        if ((current == path || current.startsWith(path.endsWith('/') ? path : path + '/')) &&
            path.size() > currentDrive_.size())
            currentDrive_ = path;
    DriveComboBox1->clear();
    DriveComboBox1->addItems(roots);
    DriveComboBox1->setCurrentText(currentDrive_);
}

// A mount point is ready when its file system answers a query of its size.
bool TMainWin::DriveReady(const QString& root) {
    struct statvfs info;
    return ::statvfs(QFile::encodeName(root).constData(), &info) == 0;
}

void TMainWin::DriveChosen(int index) {
    QString chosen = DriveComboBox1->itemText(index);
    if (!DriveReady(chosen)) {
        QStringList drives;
        for (int i = 0; i < DriveComboBox1->count(); ++i)
            drives << DriveComboBox1->itemText(i);
        chosen = comboChange_->ChooseDrive(drives);
        DriveComboBox1->setCurrentText(chosen);
    }
    if (chosen == currentDrive_ && QDir::currentPath().startsWith(chosen))
        return;
    currentDrive_ = chosen;
    User_DirectoryListBox->setRootIndex(directories_->index(chosen));
    User_DirectoryListBox->setCurrentIndex(directories_->index(chosen));
}

void TMainWin::TreeDirectoryChanged() {
    const QString path = directories_->filePath(User_DirectoryListBox->currentIndex());
    if (path.isEmpty() || path == QDir::currentPath())
        return;
    if (!QDir::setCurrent(path))
        return;
    // Until the panes have been read for the first time, the start-up steps read them.
    if (!objects_->prgState().PanesUnread)
        ReadFLists();
}

void TMainWin::ScrollTreeToShownDirectory() {
    QTreeView* tree = User_DirectoryListBox;
    tree->scrollTo(tree->currentIndex(), QAbstractItemView::PositionAtCenter);
    // Sideways, scrollTo centres the names column, which is as wide as its longest name: the tree goes back
    // to its left edge instead, and moves only as far as the start of a deeply indented name needs.
    QScrollBar* sideways = tree->horizontalScrollBar();
    sideways->setValue(0);
    const QRect row = tree->visualRect(tree->currentIndex());
    const int missing = row.left() + 4 * tree->indentation() - tree->viewport()->width();
    if (row.isValid() && missing > 0)
        sideways->setValue(missing);
}

// In the file system's own bytes, as the watch and the listing need it: a name need not be UTF-8, and
// QDir::currentPath would give back another one for it.
std::string TMainWin::ShownDirectory() const {
    char path[PATH_MAX];
    return ::getcwd(path, sizeof path) ? std::string(path) : std::string();
}

void TMainWin::ShowDirectory(const QString& path) {
    const QModelIndex index = directories_->index(path);
    if (index.isValid() && User_DirectoryListBox->currentIndex() != index) {
        User_DirectoryListBox->setCurrentIndex(index);
        User_DirectoryListBox->scrollTo(index);
    } else if (QDir::setCurrent(path)) {
        ReadFLists();
    }
}

void TMainWin::ReadFLists() {
    UpdateStatus("Retrieving directory contents...");
    sourceView_->setUpdatesEnabled(false);
    cryptedView_->setUpdatesEnabled(false);
    // Watched from before the listing, so that nothing changed meanwhile goes unnoticed.
    paneWatch_->Follow(ShownDirectory());
    fileLists_->ReadFLists(ListDirectoryFiles("."));
    sourceView_->setUpdatesEnabled(true);
    cryptedView_->setUpdatesEnabled(true);
    UpdateStatus(kIdle);
}

void TMainWin::RefreshPanes(const PaneRefresh::Changes& changes) {
    // The changes are of the directory watched; the panes show another one only until they are read.
    if (paneWatch_->directory() != ShownDirectory())
        return;
    fileLists_->Refresh(ListDirectoryFiles("."), changes.names, changes.everything);
}

// The panes follow the program's own operations from what these tell: the watch does not read the same
// files back.
void TMainWin::UpdateFLists(const std::string& fileName, Direction direction, bool keep) {
    const bool encrypted = direction == Direction::Encrypt;
    paneWatch_->Followed({fileName, encrypted ? ContainerPathOf(fileName) : PlainPathOf(fileName)});
    fileLists_->UpdateFLists(fileName, direction, keep);
}

void TMainWin::RemoveListEntry(Pane which, const std::string& fileName) {
    paneWatch_->Followed({fileName});
    fileLists_->RemoveListEntry(which, fileName);
}

void TMainWin::SetListViewStyle(ViewStyle style) {
    kinds_.setLargeIcons(style == ViewStyle::LargeIcons);
    sourceView_->setViewStyle(style);
    cryptedView_->setViewStyle(style);
    viewItems_[static_cast<std::size_t>(style)]->setChecked(true);
}

// The pane with the focus is the active one: its title blue and its picture highlighted, the other's
// navy and plain (on a dark theme, the theme's colours that say the same); "Encrypt" or "Decrypt"
// follows it.
void TMainWin::PaneFocused(Pane which) {
    activePane_ = which;
    const bool source = which == Pane::Source;
    ShowActivePaneTitle();
    sourcePictures_[0]->setVisible(!source);
    sourcePictures_[1]->setVisible(source);
    cryptedPictures_[0]->setVisible(source);
    cryptedPictures_[1]->setVisible(!source);
    Encrypt_Button->setEnabled(source);
    encryptItem_->setEnabled(source);
    Decrypt_Button->setEnabled(!source);
    decryptItem_->setEnabled(!source);
}

void TMainWin::ShowActivePaneTitle() {
    const EmphasisColours colours = EmphasisOf(palette());
    const bool source = activePane_ == Pane::Source;
    SetTextColour(*sourceTitle_, QPalette::WindowText, source ? colours.activeTitle : colours.inactiveTitle);
    SetTextColour(*cryptedTitle_, QPalette::WindowText, source ? colours.inactiveTitle : colours.activeTitle);
}

} // namespace vorlaxen
