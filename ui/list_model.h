#pragma once
// The rows of a report-style list view. Cells hold GBK texts, because the list is the
// record of what is shown: commands read the selected row's cells back and tell row
// kinds apart by their texts. Filling many rows at once is one model reset.
#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace corvane {

struct ListRow {
  std::vector<std::string> cells;  // GBK; missing cells read as ""
  int icon = -1;                   // index into the list icons, -1 for none
};

class ListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ListModel(int columns, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Replaces every row in one reset.
  void set_rows(std::vector<ListRow> rows);
  void clear();
  // Appends one row and returns its index.
  int append_row(ListRow row);
  void remove_row(int row);

  int row_count() const { return static_cast<int>(rows_.size()); }
  // "" for a row or column outside the list.
  std::string cell(int row, int column) const;
  void set_cell(int row, int column, std::string text);
  int icon(int row) const;
  void set_icon(int row, int icon);

  std::string column_title(int column) const;
  void set_column_title(int column, std::string title);
  void set_column_alignment(int column, Qt::Alignment alignment);

 private:
  int columns_;
  std::vector<ListRow> rows_;
  std::vector<std::string> titles_;
  std::vector<Qt::Alignment> alignments_;
};

}  // namespace corvane
