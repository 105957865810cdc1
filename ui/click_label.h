#pragma once
// A label (or picture box) that reacts to the left mouse button being pressed on it.
#include <QLabel>

namespace corvane {

class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void pressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace corvane
