#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "engine/jobs/file_list.h"

namespace sonorell {

// Shows the window's FileList in a view: one row per file, the six list columns with their
// headers and alignment. Every change of the list that removes or reorders rows goes
// through this model so the view and its selection stay in step.
class FileListModel : public QAbstractTableModel {
 public:
  explicit FileListModel(FileList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The list gained rows at its end (intake appends them itself).
  void RowsAppended();
  // A row's texts changed (its Status after a run step).
  void RowChanged(int row);
  void Remove(const std::vector<int>& rows);
  void Clear();
  // Sorts the list by a column; selected rows stay selected wherever they move.
  void SortBy(int column);

 private:
  FileList& list_;
  int shownRows_ = 0;  // rows the view has been told about
};

}  // namespace sonorell
