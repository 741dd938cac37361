#pragma once

#include "platform/FileSystem.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace vorlaxen {

// The directories of the file system for the directory tree `User_DirectoryListBox`: one column of names
// with a folder icon, "/" at the top. A directory's subdirectories are read when the tree first needs
// them (expanded, or on the way to a directory asked for by index()), by their names alone: files are
// never looked at, and nothing is read that the tree does not show. Each directory read is watched
// (inotify) and read again when a subdirectory comes or goes in it; a change to a file there costs the
// reading of one event. Hidden directories are not shown, except those on the way to a directory asked
// for.
class DirectoryTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit DirectoryTreeModel(QObject* parent = nullptr);
    ~DirectoryTreeModel() override;

    // The index of a directory given by its absolute path; invalid when it is not a directory. Reads
    // every directory on the way that has not been read yet.
    QModelIndex index(const QString& path);
    QString filePath(const QModelIndex& index) const;
    // How many directories are watched (those read).
    std::size_t watchedCount() const { return nodeOfWatch_.size(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    struct Node {
        std::string name; // as the file system has it; "/" for the top
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        bool read = false;
        bool pinned = false; // shown although the listing leaves it out: on the way to a directory asked for
        int watch = -1;
    };

    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(Node* node) const;
    std::string pathOf(const Node* node) const;
    // Reads the node's subdirectories when it has not been read, and watches it.
    void Read(Node* node);
    // Brings the node's children in step with a new listing; pinned children stay while they exist.
    void Reread(Node* node);
    void Insert(Node* node, std::unique_ptr<Node> child);
    void Unwatch(Node* node);
    void TakeChanges();

    std::unique_ptr<Node> top_;
    UniqueFd inotify_;
    QSocketNotifier* notifier_ = nullptr;
    std::map<int, Node*> nodeOfWatch_;
    QIcon folder_;
};

} // namespace vorlaxen
