#include "ui/status_bar.h"

#include "ui/qt_text.h"

namespace corvane {

PartStatusBar::PartStatusBar(const std::vector<int>& widths, QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  setContentsMargins(0, 0, 0, 0);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    auto* label = new QLabel(this);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    if (i + 1 == widths.size()) {
      // The last part gives way when the window is narrower than all parts together.
      label->setMinimumWidth(0);
      label->setMaximumWidth(widths[i]);
      label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
      addWidget(label, 1);
    } else {
      label->setFixedWidth(widths[i]);
      addWidget(label, 0);
    }
    parts_.push_back(label);
  }
  texts_.resize(widths.size());
}

void PartStatusBar::set_part(int part, const std::string& text) {
  if (part < 0 || part >= part_count()) return;
  texts_[static_cast<std::size_t>(part)] = text;
  parts_[static_cast<std::size_t>(part)]->setText(to_qt(text));
}

std::string PartStatusBar::part(int part) const {
  return part >= 0 && part < part_count() ? texts_[static_cast<std::size_t>(part)] : std::string();
}

QLabel* PartStatusBar::part_label(int part) const {
  return part >= 0 && part < part_count() ? parts_[static_cast<std::size_t>(part)] : nullptr;
}

}  // namespace corvane
