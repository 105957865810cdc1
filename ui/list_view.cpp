#include "ui/list_view.h"

#include <QHeaderView>

namespace corvane {

ListView::ListView(const std::vector<ListColumn>& columns, QWidget* parent)
    : QTreeView(parent), model_(new ListModel(static_cast<int>(columns.size()), this)) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    model_->set_column_title(static_cast<int>(c), columns[c].title);
    model_->set_column_alignment(static_cast<int>(c), columns[c].alignment | Qt::AlignVCenter);
  }
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);  // keeps 10,000 rows cheap to lay out
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  setTextElideMode(Qt::ElideRight);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    header()->setSectionResizeMode(static_cast<int>(c), QHeaderView::Interactive);
    header()->resizeSection(static_cast<int>(c), columns[c].width);
  }
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { emit context_menu_requested(viewport()->mapToGlobal(at)); });
}

int ListView::selected_row() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void ListView::select_row(int row) {
  if (row < 0 || row >= model_->row_count()) {
    clearSelection();
    return;
  }
  setCurrentIndex(model_->index(row, 0));
  selectionModel()->select(model_->index(row, 0),
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::string ListView::selected_cell(int column) const { return model_->cell(selected_row(), column); }

}  // namespace corvane
