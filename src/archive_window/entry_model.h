#pragma once
// EntryTableModel: the rows of the entry list as a Qt table model, shown by
// the report view and by the icon and list views alike. Sorting compares the
// values behind the cells (sizes as numbers, dates as dates), never their
// texts, and keeps equal rows in their previous order.
// User-interface thread only; the model owns its rows.
#include <QAbstractTableModel>

#include <vector>

#include "archive_window/entry_rows.h"

namespace kx {

class EntryTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  // Rows can be dragged (out of the list, to a file manager).
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  void setRows(std::vector<EntryRow> rows);
  void clear();
  const EntryRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
  const std::vector<EntryRow>& rows() const { return rows_; }

  // The cell text exactly as the list shows it.
  static QString CellText(const EntryRow& row, int column);
  static const char* ColumnCaption(int column);
  static Qt::Alignment ColumnAlignment(int column);
  static int ColumnWidthTwips(int column);

 private:
  std::vector<EntryRow> rows_;
};

}  // namespace kx
