#include "archive_window/entry_model.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <tuple>

namespace kx {
namespace {

struct ColumnDesign {
  const char* caption;
  Qt::Alignment alignment;
  int widthTwips;
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

const ColumnDesign kColumns[ColumnCount] = {
    {"Archiv Datei", kLeft, 4304}, {"Orgi. Größe", kRight, 2011}, {"Komp. Größe", kRight, 2011},
    {"Kompr.", kRight, 1411},      {"Datum", kRight, 1235},       {"Zeit", kRight, 1235},
    {"Attribut", kCentre, 1764},   {"Dateityp", kLeft, 2117},     {"Password", kCentre, 1411},
    {"Prüfsumme", kRight, 1834},
};

int CompareText(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive); }

template <class T>
int CompareValue(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int Compare(const EntryRow& a, const EntryRow& b, int column) {
  switch (column) {
    case ColName: return CompareText(a.name, b.name);
    case ColSize: return CompareValue(a.size, b.size);
    case ColPackedSize: return CompareValue(a.packedSize, b.packedSize);
    case ColRatio: return CompareValue(a.ratio, b.ratio);
    case ColDate: {
      const auto& x = a.modified;
      const auto& y = b.modified;
      return CompareValue(std::tie(x.year, x.month, x.day), std::tie(y.year, y.month, y.day));
    }
    case ColTime: {
      const auto& x = a.modified;
      const auto& y = b.modified;
      return CompareValue(std::tie(x.hour, x.minute, x.second), std::tie(y.hour, y.minute, y.second));
    }
    case ColAttribute: return CompareText(a.attribute, b.attribute);
    case ColType: return CompareText(a.type, b.type);
    case ColPassword: return CompareValue(a.encrypted, b.encrypted);
    case ColChecksum: return CompareValue(a.checksum, b.checksum);
    default: return 0;
  }
}

}  // namespace

int EntryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EntryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

Qt::ItemFlags EntryTableModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QString EntryTableModel::CellText(const EntryRow& row, int column) {
  switch (column) {
    case ColName: return row.name;
    case ColSize: return FormatThousands(row.size);
    case ColPackedSize: return FormatThousands(row.packedSize);
    case ColRatio: return QString::number(row.ratio) + " %";
    case ColDate: return QString::fromStdString(FormatDate(row.modified));
    case ColTime: return QString::fromStdString(FormatTime(row.modified));
    case ColAttribute: return row.attribute;
    case ColType: return row.type;
    case ColPassword: return row.encrypted ? QStringLiteral("ja") : QStringLiteral("nein");
    case ColChecksum: return QString::number(row.checksum);
    default: return {};
  }
}

const char* EntryTableModel::ColumnCaption(int column) { return kColumns[column].caption; }
Qt::Alignment EntryTableModel::ColumnAlignment(int column) { return kColumns[column].alignment; }
int EntryTableModel::ColumnWidthTwips(int column) { return kColumns[column].widthTwips; }

QVariant EntryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount) return {};
  const EntryRow& r = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: return CellText(r, index.column());
    case Qt::DecorationRole: return index.column() == ColName ? QVariant(r.icon) : QVariant();
    case Qt::TextAlignmentRole: return QVariant::fromValue(ColumnAlignment(index.column()));
    default: return {};
  }
}

QVariant EntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(ColumnCaption(section));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  return {};
}

namespace {

bool IsTextColumn(int column) { return column == ColName || column == ColAttribute || column == ColType; }

const QString& TextOf(const EntryRow& r, int column) {
  return column == ColName ? r.name : column == ColAttribute ? r.attribute : r.type;
}

}  // namespace

namespace {

// The first twelve UTF-16 units of a text as three numbers that order as
// the text does, so that most comparisons of a large sort are integer
// comparisons of keys side by side in memory; texts that agree in their
// first twelve units are compared in full.
struct SortKey {
  std::array<std::uint64_t, 3> head{};
  int row = 0;
};

SortKey KeyOf(const QString& text, int row) {
  SortKey key;
  key.row = row;
  for (qsizetype i = 0; i < 12; ++i)
    key.head[std::size_t(i / 4)] = (key.head[std::size_t(i / 4)] << 16) | (i < text.size() ? text[i].unicode() : 0u);
  return key;
}

// Moves every row to its place: byPosition[i] is the old index of the row
// that goes to i. Follows each cycle of the permutation, so no second copy
// of the rows is ever made.
void Permute(std::vector<EntryRow>& rows, const std::vector<int>& byPosition) {
  std::vector<bool> placed(rows.size());
  for (std::size_t start = 0; start < rows.size(); ++start) {
    if (placed[start] || std::size_t(byPosition[start]) == start) continue;
    EntryRow first = std::move(rows[start]);
    std::size_t to = start;
    for (;;) {
      placed[to] = true;
      const auto from = std::size_t(byPosition[to]);
      if (from == start) break;
      rows[to] = std::move(rows[from]);
      to = from;
    }
    rows[to] = std::move(first);
  }
}

}  // namespace

void EntryTableModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= ColumnCount || rows_.size() < 2) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  const bool ascending = order == Qt::AscendingOrder;
  // Equal rows keep their previous order: the row index decides last.
  std::vector<int> byPosition(rows_.size());
  if (IsTextColumn(column)) {
    // Case-folded once (a text without capitals shares its data), then
    // compared plainly, by the head numbers first.
    std::vector<QString> folded(rows_.size());
    std::vector<SortKey> keys(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      folded[i] = TextOf(rows_[i], column).toCaseFolded();
      keys[i] = KeyOf(folded[i], static_cast<int>(i));
    }
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
      if (a.head != b.head) return ascending ? a.head < b.head : a.head > b.head;
      const int c = QString::compare(folded[std::size_t(a.row)], folded[std::size_t(b.row)], Qt::CaseSensitive);
      if (c != 0) return ascending ? c < 0 : c > 0;
      return a.row < b.row;
    });
    for (std::size_t i = 0; i < keys.size(); ++i) byPosition[i] = keys[i].row;
  } else {
    std::iota(byPosition.begin(), byPosition.end(), 0);
    std::sort(byPosition.begin(), byPosition.end(), [&](int a, int b) {
      const int c = Compare(rows_[std::size_t(a)], rows_[std::size_t(b)], column);
      if (c != 0) return ascending ? c < 0 : c > 0;
      return a < b;
    });
  }
  std::vector<int> newPosition(rows_.size());
  for (std::size_t i = 0; i < byPosition.size(); ++i) newPosition[std::size_t(byPosition[i])] = static_cast<int>(i);
  Permute(rows_, byPosition);
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& i : before) after.push_back(index(newPosition[std::size_t(i.row())], i.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void EntryTableModel::setRows(std::vector<EntryRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void EntryTableModel::clear() { setRows({}); }

}  // namespace kx
