#include "ui/file_list_model.h"

#include <unordered_map>

namespace sonorell {

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), shownRows_(list.Count()) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFileListColumns;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(list_.CellText(index.row(), index.column()));
    case Qt::ToolTipRole:
      // The whole path of the file, and long Status texts that the column cuts.
      if (index.column() == kColumnFile) {
        return QString::fromStdString(list_.Entry(index.row()).SourcePath);
      }
      if (index.column() == kColumnStatus) {
        return QString::fromStdString(list_.CellText(index.row(), index.column()));
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          Qt::Alignment(ColumnInfo(index.column()).rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
          Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kFileListColumns) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(ColumnInfo(section).header);
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(
        Qt::Alignment(ColumnInfo(section).rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
        Qt::AlignVCenter);
  }
  return {};
}

void FileListModel::RowsAppended() {
  const int count = list_.Count();
  if (count < shownRows_) {
    beginResetModel();
    shownRows_ = count;
    endResetModel();
    return;
  }
  if (count == shownRows_) return;
  beginInsertRows({}, shownRows_, count - 1);
  shownRows_ = count;
  endInsertRows();
}

void FileListModel::RowChanged(int row) {
  if (row < 0 || row >= shownRows_) return;
  emit dataChanged(index(row, 0), index(row, kFileListColumns - 1));
}

void FileListModel::Remove(const std::vector<int>& rows) {
  beginResetModel();
  list_.Remove(rows);
  shownRows_ = list_.Count();
  endResetModel();
}

void FileListModel::Clear() {
  beginResetModel();
  list_.Clear();
  shownRows_ = 0;
  endResetModel();
}

void FileListModel::SortBy(int column) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<SourceFile*> before = list_.Entries();
  list_.SortBy(column);
  const std::vector<SourceFile*> after = list_.Entries();
  // The entries themselves do not move in memory, so they tell where each row went.
  std::unordered_map<const SourceFile*, int> newRow;
  for (size_t i = 0; i < after.size(); ++i) newRow[after[i]] = static_cast<int>(i);
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& old : from) {
    const auto found = old.row() < static_cast<int>(before.size())
                           ? newRow.find(before[static_cast<size_t>(old.row())])
                           : newRow.end();
    to.push_back(found == newRow.end() ? QModelIndex() : index(found->second, old.column()));
  }
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace sonorell
