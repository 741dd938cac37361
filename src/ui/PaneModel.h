#pragma once

#include "desktop/FileLists.h"

#include <QAbstractTableModel>

namespace vorlaxen {

class QtFileKinds;

// One pane's entries as a table for the views, one column for each PaneColumn in its order: caption
// with its icon, size, date, attributes and type or method. It follows every change of the pane without being rebuilt,
// so selections survive.
class PaneModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr const char* kDragFormat = "application/x-vorlaxen-pane";

    PaneModel(const FileLists& lists, Pane pane, const QtFileKinds& kinds, QObject* parent = nullptr);

    Pane pane() const { return pane_; }
    const PaneEntry& entry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

    // The changes of the pane, passed on by the window.
    void AboutToReset() { beginResetModel(); }
    void Reset() { endResetModel(); }
    void Added(std::size_t index);
    void AboutToRemove(std::size_t index);
    void Removed() { endRemoveRows(); }
    void Changed(std::size_t index);
    void Sorted(const std::vector<std::size_t>& order);

private:
    const FileLists& lists_;
    Pane pane_;
    const QtFileKinds& kinds_;
};

// Whether a drag carries entries from the given pane.
bool DragComesFrom(const class QMimeData* data, Pane pane);

} // namespace vorlaxen
