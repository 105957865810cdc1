#include "ui/list_model.h"

#include "ui/icons.h"
#include "ui/qt_text.h"

namespace corvane {

ListModel::ListModel(int columns, QObject* parent)
    : QAbstractTableModel(parent),
      columns_(columns),
      titles_(static_cast<std::size_t>(columns)),
      alignments_(static_cast<std::size_t>(columns), Qt::AlignLeft | Qt::AlignVCenter) {}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : row_count();
}

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= row_count() || index.column() >= columns_) return {};
  const ListRow& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return to_qt(cell(index.row(), index.column()));
    case Qt::DecorationRole:
      if (index.column() == 0 && row.icon >= 0) return list_icon(row.icon);
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(alignments_[static_cast<std::size_t>(index.column())]);
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
  if (role == Qt::DisplayRole) return to_qt(titles_[static_cast<std::size_t>(section)]);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(alignments_[static_cast<std::size_t>(section)]);
  return {};
}

void ListModel::set_rows(std::vector<ListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void ListModel::clear() { set_rows({}); }

int ListModel::append_row(ListRow row) {
  const int at = row_count();
  beginInsertRows({}, at, at);
  rows_.push_back(std::move(row));
  endInsertRows();
  return at;
}

void ListModel::remove_row(int row) {
  if (row < 0 || row >= row_count()) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

std::string ListModel::cell(int row, int column) const {
  if (row < 0 || row >= row_count() || column < 0) return {};
  const auto& cells = rows_[static_cast<std::size_t>(row)].cells;
  return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)]
                                                         : std::string();
}

void ListModel::set_cell(int row, int column, std::string text) {
  if (row < 0 || row >= row_count() || column < 0 || column >= columns_) return;
  auto& cells = rows_[static_cast<std::size_t>(row)].cells;
  if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = std::move(text);
  const QModelIndex i = index(row, column);
  emit dataChanged(i, i, {Qt::DisplayRole, Qt::ToolTipRole});
}

int ListModel::icon(int row) const {
  return row >= 0 && row < row_count() ? rows_[static_cast<std::size_t>(row)].icon : -1;
}

void ListModel::set_icon(int row, int icon) {
  if (row < 0 || row >= row_count()) return;
  rows_[static_cast<std::size_t>(row)].icon = icon;
  const QModelIndex i = index(row, 0);
  emit dataChanged(i, i, {Qt::DecorationRole});
}

std::string ListModel::column_title(int column) const {
  return column >= 0 && column < columns_ ? titles_[static_cast<std::size_t>(column)] : std::string();
}

void ListModel::set_column_title(int column, std::string title) {
  if (column < 0 || column >= columns_) return;
  titles_[static_cast<std::size_t>(column)] = std::move(title);
  emit headerDataChanged(Qt::Horizontal, column, column);
}

void ListModel::set_column_alignment(int column, Qt::Alignment alignment) {
  if (column < 0 || column >= columns_) return;
  alignments_[static_cast<std::size_t>(column)] = alignment;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

}  // namespace corvane
