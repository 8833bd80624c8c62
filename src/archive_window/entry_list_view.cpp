#include "archive_window/entry_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QTableView>

#include "archive_window/entry_model.h"
#include "platform/screen_metrics.h"

namespace kx {
namespace {

constexpr int kSmallIcon = 16;
constexpr int kIconGridWidth = 140;

// Passes right clicks and Enter up to the list, as the classic list's
// MouseDown and KeyPress events did.
class ViewEvents : public QObject {
 public:
  ViewEvents(EntryListView* list) : QObject(list), list_(list) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        emit list_->activated();
        return true;
      }
    }
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton && list_->selectedCount() > 0)
        emit list_->contextMenuWanted(mouse->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  EntryListView* list_;
};

// Rows can be dragged out of either view, but nothing is dropped on them:
// what a drag of rows offers is the list's business.
template <class View>
class DraggableView : public View {
 public:
  explicit DraggableView(EntryListView* list) : View(list), list_(list) {
    this->setDragDropMode(QAbstractItemView::DragOnly);
  }

 protected:
  void startDrag(Qt::DropActions) override { emit list_->dragOutWanted(); }

 private:
  EntryListView* list_;
};

}  // namespace

EntryListView::EntryListView(QWidget* parent) : QWidget(parent) {
  setObjectName("ListView1");
  model_ = new EntryTableModel(this);
  selection_ = new QItemSelectionModel(model_, this);

  report_ = new DraggableView<QTableView>(this);
  report_->setObjectName("ListView1Report");
  report_->setModel(model_);
  report_->setSelectionModel(selection_);
  report_->setSelectionBehavior(QAbstractItemView::SelectRows);
  report_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  report_->setShowGrid(false);
  report_->setWordWrap(false);
  report_->setIconSize(QSize(kSmallIcon, kSmallIcon));
  report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  report_->verticalHeader()->hide();
  report_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  report_->verticalHeader()->setDefaultSectionSize(report_->fontMetrics().height() + 4);
  report_->horizontalHeader()->setSectionsClickable(true);
  report_->horizontalHeader()->setHighlightSections(false);
  report_->horizontalHeader()->setStretchLastSection(false);
  for (int c = 0; c < ColumnCount; ++c)
    report_->setColumnWidth(c, TwipsToPixelsX(EntryTableModel::ColumnWidthTwips(c)));

  icons_ = new DraggableView<QListView>(this);
  icons_->setObjectName("ListView1Icons");
  icons_->setModel(model_);
  icons_->setSelectionModel(selection_);
  icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  icons_->setIconSize(QSize(kSmallIcon, kSmallIcon));
  icons_->setUniformItemSizes(true);
  icons_->setLayoutMode(QListView::Batched);
  icons_->setResizeMode(QListView::Adjust);

  stack_ = new QStackedLayout(this);
  stack_->setContentsMargins(0, 0, 0, 0);
  stack_->addWidget(report_);
  stack_->addWidget(icons_);

  auto* events = new ViewEvents(this);
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
    view->installEventFilter(events);
    view->viewport()->installEventFilter(events);
    connect(view, &QAbstractItemView::clicked, this, &EntryListView::clicked);
    connect(view, &QAbstractItemView::doubleClicked, this, &EntryListView::activated);
  }
  connect(report_->horizontalHeader(), &QHeaderView::sectionClicked, this, &EntryListView::columnClicked);
  connect(selection_, &QItemSelectionModel::selectionChanged, this, &EntryListView::selectionChanged);
  setViewMode(3);
}

QWidget* EntryListView::currentView() const { return stack_->currentWidget(); }

void EntryListView::setViewMode(int mode) {
  if (mode < 1 || mode > 3) return;
  mode_ = mode;
  if (mode == 3) {
    stack_->setCurrentWidget(report_);
    return;
  }
  // Small icons run in rows across the window, the list in columns down it.
  icons_->setViewMode(QListView::ListMode);
  icons_->setFlow(mode == 1 ? QListView::LeftToRight : QListView::TopToBottom);
  icons_->setWrapping(true);
  icons_->setGridSize(mode == 1 ? QSize(kIconGridWidth, kSmallIcon + 6) : QSize());
  stack_->setCurrentWidget(icons_);
}

void EntryListView::setSortKey(int column) {
  if (column < 0 || column >= ColumnCount) return;
  sortKey_ = column;
  applySort();
}

void EntryListView::setSortOrder(int order) {
  sortOrder_ = order == 0 ? 0 : 1;
  applySort();
}

void EntryListView::applySort() {
  const Qt::SortOrder order = sortOrder_ == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
  model_->sort(sortKey_, order);
  report_->horizontalHeader()->setSortIndicatorShown(true);
  report_->horizontalHeader()->setSortIndicator(sortKey_, order);
}

int EntryListView::rowCount() const { return model_->rowCount(); }

int EntryListView::selectedCount() const { return static_cast<int>(selection_->selectedRows().size()); }

bool EntryListView::isSelected(int row) const { return selection_->isRowSelected(row, {}); }

void EntryListView::selectRow(int row, bool selected) {
  selection_->select(model_->index(row, 0), (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                QItemSelectionModel::Rows);
}

void EntryListView::selectAll() {
  if (model_->rowCount() == 0) return;
  selection_->select(QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, ColumnCount - 1)),
                     QItemSelectionModel::Select);
}

void EntryListView::clearSelection() {
  selection_->clearSelection();
  selection_->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
}

QStringList EntryListView::selectedNames() const {
  QModelIndexList rows = selection_->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList names;
  names.reserve(rows.size());
  for (const QModelIndex& i : rows) names << model_->row(i.row()).name;
  return names;
}

QString EntryListView::firstSelectedName() const {
  const QStringList names = selectedNames();
  return names.isEmpty() ? QString() : names.first();
}

void EntryListView::setBackgroundColor(const QColor& color) {
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
    QPalette p = view->palette();
    p.setColor(QPalette::Base, color);
    view->setPalette(p);
  }
}

QColor EntryListView::backgroundColor() const { return report_->palette().color(QPalette::Base); }

void EntryListView::setListFont(const QFont& font) {
  report_->setFont(font);
  icons_->setFont(font);
  report_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

QFont EntryListView::listFont() const { return report_->font(); }

}  // namespace kx
