#pragma once
// A report-style list view over a ListModel: fixed columns with titles and widths, whole
// rows selected one at a time, item activation (double-click or Enter) and right click.
#include <QTreeView>
#include <string>
#include <vector>

#include "ui/list_model.h"

namespace corvane {

struct ListColumn {
  std::string title;  // GBK
  int width;
  Qt::Alignment alignment = Qt::AlignLeft;
};

class ListView : public QTreeView {
  Q_OBJECT

 public:
  ListView(const std::vector<ListColumn>& columns, QWidget* parent = nullptr);

  ListModel& list() const { return *model_; }
  // The selected row, -1 when none.
  int selected_row() const;
  void select_row(int row);
  // A cell of the selected row, "" when nothing is selected.
  std::string selected_cell(int column) const;

 signals:
  // Right click: the position in viewport coordinates (global for the menu).
  void context_menu_requested(const QPoint& global_position);

 private:
  ListModel* model_;
};

}  // namespace corvane
