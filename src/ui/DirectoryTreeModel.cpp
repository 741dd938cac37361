#include "ui/DirectoryTreeModel.h"

#include "fileops/DirectoryListing.h"
#include "fileops/MakePath.h"
#include "platform/InotifyEvents.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QSocketNotifier>
#include <algorithm>
#include <set>
#include <unordered_set>

namespace vorlaxen {

namespace {

// Only subdirectories coming and going matter; the events of files are read and dropped.
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

} // namespace

DirectoryTreeModel::DirectoryTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , top_(std::make_unique<Node>())
    , inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , folder_(QFileIconProvider().icon(QAbstractFileIconProvider::Folder)) {
    setObjectName("DirectoryTreeModel");
    top_->name.push_back('/');
    if (inotify_) {
        notifier_ = new QSocketNotifier(inotify_.get(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &DirectoryTreeModel::TakeChanges);
    }
}

DirectoryTreeModel::~DirectoryTreeModel() = default;

DirectoryTreeModel::Node* DirectoryTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex DirectoryTreeModel::indexOf(Node* node) const {
    if (!node)
        return {};
    if (!node->parent)
        return createIndex(0, 0, node);
    const auto& siblings = node->parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [node](const std::unique_ptr<Node>& sibling) {
        return sibling.get() == node;
    });
    return createIndex(static_cast<int>(at - siblings.begin()), 0, node);
}

std::string DirectoryTreeModel::pathOf(const Node* node) const {
    if (!node->parent)
        return node->name;
    return MakePath(pathOf(node->parent), node->name);
}

QString DirectoryTreeModel::filePath(const QModelIndex& index) const {
    const Node* node = nodeOf(index);
    return node ? QFile::decodeName(QByteArray::fromStdString(pathOf(node))) : QString();
}

QModelIndex DirectoryTreeModel::index(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith('/'))
        return {};
    Node* node = top_.get();
    for (const QByteArray& part : QFile::encodeName(clean).split('/')) {
        if (part.isEmpty())
            continue;
        const std::string name = part.toStdString();
        Read(node);
        auto& children = node->children;
        const auto found = std::find_if(children.begin(), children.end(), [&name](const std::unique_ptr<Node>& child) {
            return child->name == name;
        });
        if (found != children.end()) {
            node = found->get();
            continue;
        }
        if (!IsDirectory(MakePath(pathOf(node), name)))
            return {};
        auto child = std::make_unique<Node>();
        child->name = name;
        child->pinned = true;
        Node* added = child.get();
        Insert(node, std::move(child));
        node = added;
    }
    return indexOf(node);
}

void DirectoryTreeModel::Read(Node* node) {
    if (node->read)
        return;
    node->read = true;
    if (inotify_) {
        node->watch = ::inotify_add_watch(inotify_.get(), pathOf(node).c_str(), kEvents);
        if (node->watch >= 0)
            nodeOfWatch_[node->watch] = node;
    }
    Reread(node);
}

void DirectoryTreeModel::Insert(Node* node, std::unique_ptr<Node> child) {
    child->parent = node;
    auto& children = node->children;
    const auto at = std::upper_bound(
        children.begin(), children.end(), child, [](const std::unique_ptr<Node>& a, const std::unique_ptr<Node>& b) {
            return NameOrder(a->name, b->name);
        });
    const int row = static_cast<int>(at - children.begin());
    beginInsertRows(indexOf(node), row, row);
    children.insert(children.begin() + row, std::move(child));
    endInsertRows();
}

void DirectoryTreeModel::Reread(Node* node) {
    const std::string path = pathOf(node);
    const std::vector<std::string> names = ListTreeDirectories(path);
    const std::unordered_set<std::string> listed(names.begin(), names.end());
    auto& children = node->children;
    std::unordered_set<std::string> shown;
    for (std::size_t i = children.size(); i-- > 0;) {
        Node* child = children[i].get();
        if (listed.count(child->name) || (child->pinned && IsDirectory(MakePath(path, child->name)))) {
            shown.insert(child->name);
            continue;
        }
        const QModelIndex parent = indexOf(node);
        beginRemoveRows(parent, static_cast<int>(i), static_cast<int>(i));
        Unwatch(child);
        children.erase(children.begin() + static_cast<std::ptrdiff_t>(i));
        endRemoveRows();
    }
    for (const std::string& name : names) {
        if (shown.count(name))
            continue;
        auto child = std::make_unique<Node>();
        child->name = name;
        Insert(node, std::move(child));
    }
}

void DirectoryTreeModel::Unwatch(Node* node) {
    if (node->watch >= 0) {
        ::inotify_rm_watch(inotify_.get(), node->watch);
        nodeOfWatch_.erase(node->watch);
        node->watch = -1;
    }
    for (const auto& child : node->children)
        Unwatch(child.get());
}

void DirectoryTreeModel::TakeChanges() {
    std::set<int> changed;
    bool lostCount = false;
    ReadInotifyEvents(inotify_.get(), [&](const inotify_event& event, const char*) {
        if (event.mask & IN_Q_OVERFLOW) {
            lostCount = true;
            return;
        }
        if (event.mask & IN_IGNORED) {
            // The directory went, or its watch was given up: its parent's listing tells the rest.
            if (const auto found = nodeOfWatch_.find(event.wd); found != nodeOfWatch_.end()) {
                found->second->watch = -1;
                nodeOfWatch_.erase(found);
            }
            return;
        }
        if ((event.mask & IN_ISDIR) && event.len > 0)
            changed.insert(event.wd);
    });
    if (lostCount)
        for (const auto& [watch, node] : nodeOfWatch_)
            changed.insert(watch);
    // By watch, not by node: reading one directory again may remove another that also changed.
    for (int watch : changed)
        if (const auto found = nodeOfWatch_.find(watch); found != nodeOfWatch_.end())
            Reread(found->second);
}

QModelIndex DirectoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, top_.get()) : QModelIndex();
    const Node* node = nodeOf(parent);
    if (row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex DirectoryTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeOf(child);
    return node && node->parent ? indexOf(node->parent) : QModelIndex();
}

int DirectoryTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int DirectoryTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant DirectoryTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole)
        return QFile::decodeName(QByteArray::fromStdString(node->name));
    if (role == Qt::DecorationRole)
        return folder_;
    return {};
}

// A directory not read yet may have subdirectories; reading them waits until the tree opens it.
bool DirectoryTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    return !node || !node->read || !node->children.empty();
}

bool DirectoryTreeModel::canFetchMore(const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    return node && !node->read;
}

void DirectoryTreeModel::fetchMore(const QModelIndex& parent) {
    if (Node* node = nodeOf(parent))
        Read(node);
}

} // namespace vorlaxen
