#pragma once
// A status bar of fixed-width parts, each showing one text.
#include <QLabel>
#include <QStatusBar>
#include <string>
#include <vector>

namespace corvane {

class PartStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  // One part per width; the last part narrows when the bar is too short for all.
  PartStatusBar(const std::vector<int>& widths, QWidget* parent = nullptr);

  int part_count() const { return static_cast<int>(parts_.size()); }
  // GBK texts; a part outside the bar is ignored or reads "".
  void set_part(int part, const std::string& text);
  std::string part(int part) const;
  QLabel* part_label(int part) const;

 private:
  std::vector<QLabel*> parts_;
  std::vector<std::string> texts_;
};

}  // namespace corvane
