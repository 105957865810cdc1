#include "ui/click_label.h"

#include <QMouseEvent>

namespace corvane {

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) emit pressed();
}

}  // namespace corvane
