#include "ui/PaneModel.h"

#include "ui/QtFileKinds.h"

#include <QFile>
#include <QMimeData>
#include <QTextDocument>

namespace vorlaxen {

namespace {

QString Decode(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

PaneColumn ColumnOf(int section) {
    return static_cast<PaneColumn>(section);
}

} // namespace

PaneModel::PaneModel(const FileLists& lists, Pane pane, const QtFileKinds& kinds, QObject* parent)
    : QAbstractTableModel(parent)
    , lists_(lists)
    , pane_(pane)
    , kinds_(kinds) {}

const PaneEntry& PaneModel::entry(int row) const {
    return lists_.pane(pane_)[static_cast<std::size_t>(row)];
}

int PaneModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lists_.pane(pane_).size());
}

int PaneModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kPaneColumnCount);
}

QVariant PaneModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PaneEntry& e = entry(index.row());
    const PaneColumn column = ColumnOf(index.column());
    if (role == Qt::ToolTipRole) {
        // Taken as markup when it looks like it, and a file's name may: shown as written.
        const QString shown = data(index, Qt::DisplayRole).toString();
        return shown.isEmpty() ? QVariant() : QVariant(Qt::convertFromPlainText(shown, Qt::WhiteSpacePre));
    }
    if (role == Qt::DisplayRole) {
        switch (column) {
        case PaneColumn::Name:
            return Decode(e.caption);
        case PaneColumn::Size:
            return QString::fromStdString(e.sizeText);
        case PaneColumn::Date:
            return QString::fromStdString(e.dateText);
        case PaneColumn::Attributes:
            return QString::fromStdString(e.attributesText);
        case PaneColumn::Type:
            return QString::fromStdString(e.typeText);
        }
    }
    if (role == Qt::DecorationRole && column == PaneColumn::Name)
        return kinds_.icon(e.image);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column == PaneColumn::Size ? Qt::AlignRight | Qt::AlignVCenter
                                                              : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant PaneModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(kPaneColumnCount))
        return {};
    switch (ColumnOf(section)) {
    case PaneColumn::Name:
        return QStringLiteral("Name");
    case PaneColumn::Size:
        return QStringLiteral("Size");
    case PaneColumn::Date:
        return QStringLiteral("Date");
    case PaneColumn::Attributes:
        return QStringLiteral("Attributes");
    case PaneColumn::Type:
        return pane_ == Pane::Crypted ? QStringLiteral("Encrypted by") : QStringLiteral("File Type");
    }
    return {};
}

Qt::ItemFlags PaneModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    if (index.isValid())
        f |= Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    return f;
}

QStringList PaneModel::mimeTypes() const {
    return {kDragFormat};
}

QMimeData* PaneModel::mimeData(const QModelIndexList&) const {
    auto* data = new QMimeData;
    data->setData(kDragFormat, pane_ == Pane::Source ? "source" : "crypted");
    return data;
}

bool DragComesFrom(const QMimeData* data, Pane pane) {
    return data && data->hasFormat(PaneModel::kDragFormat) &&
           data->data(PaneModel::kDragFormat) == (pane == Pane::Source ? "source" : "crypted");
}

void PaneModel::Added(std::size_t index) {
    const int row = static_cast<int>(index);
    beginInsertRows({}, row, row);
    endInsertRows();
}

void PaneModel::AboutToRemove(std::size_t index) {
    const int row = static_cast<int>(index);
    beginRemoveRows({}, row, row);
}

void PaneModel::Changed(std::size_t index) {
    const int row = static_cast<int>(index);
    emit dataChanged(this->index(row, 0), this->index(row, static_cast<int>(kPaneColumnCount) - 1));
}

void PaneModel::Sorted(const std::vector<std::size_t>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(order.size());
    for (std::size_t now = 0; now < order.size(); ++now)
        newRow[order[now]] = static_cast<int>(now);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before) {
        const auto old = static_cast<std::size_t>(index.row());
        after << (old < newRow.size() ? this->index(newRow[old], index.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace vorlaxen
