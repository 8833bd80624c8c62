#pragma once
// EntryListView: the archive window's entry list (ListView1). One model
// seen three ways, as the classic list view offered: small icons (1), a
// list (2) and a report with the ten columns (3). All three views share one
// selection, so marking rows and switching the view go together.
// Sorting is by a key column and an order; setting either sorts the rows
// at once (the listing sets the order after filling the list).
// User-interface thread only.
#include <QWidget>

class QListView;
class QStackedLayout;
class QTableView;
class QItemSelectionModel;

namespace kx {

class EntryTableModel;

class EntryListView : public QWidget {
  Q_OBJECT
 public:
  explicit EntryListView(QWidget* parent = nullptr);

  EntryTableModel* model() const { return model_; }
  QTableView* reportView() const { return report_; }
  QListView* iconView() const { return icons_; }
  QWidget* currentView() const;

  // 1 small icons, 2 list, 3 report.
  void setViewMode(int mode);
  int viewMode() const { return mode_; }

  // Sort key (0-based column) and order (0 ascending, 1 descending); each
  // change sorts the rows at once.
  void setSortKey(int column);
  int sortKey() const { return sortKey_; }
  void setSortOrder(int order);
  int sortOrder() const { return sortOrder_; }

  int rowCount() const;
  int selectedCount() const;
  bool isSelected(int row) const;
  void selectRow(int row, bool selected = true);
  void selectAll();
  void clearSelection();
  // Stored name of the first selected row in list order; empty when none.
  QString firstSelectedName() const;
  // Stored names of the selected rows in list order.
  QStringList selectedNames() const;

  void setBackgroundColor(const QColor& color);
  QColor backgroundColor() const;
  void setListFont(const QFont& font);
  QFont listFont() const;

 signals:
  void clicked();
  void selectionChanged();       // marks changed, in any view, by any means
  void activated();              // double click or Enter on a row
  void columnClicked(int column);
  void contextMenuWanted(const QPoint& globalPos);
  void dragOutWanted();          // selected rows dragged out of the list

 private:
  void applySort();

  EntryTableModel* model_;
  QItemSelectionModel* selection_;
  QTableView* report_;
  QListView* icons_;
  QStackedLayout* stack_;
  int mode_ = 3;
  int sortKey_ = 0;
  int sortOrder_ = 0;
};

}  // namespace kx
