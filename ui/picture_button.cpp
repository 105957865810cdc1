#include "ui/picture_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "ui/icons.h"

namespace corvane {

namespace {

constexpr int GLYPH_RIGHT = 21;  // the glyph sits in the 16 pixels after a 3-pixel margin

}  // namespace

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void PictureButton::set_look(const PictureLook& look) {
  look_ = look;
  normal_cache_ = hot_cache_ = QPixmap();
  setText(look.caption);
  setToolTip(look.caption);
  update();
}

bool PictureButton::hot() const { return hovered_ && isEnabled(); }

QPixmap PictureButton::picture(bool hot) const {
  const qreal ratio = devicePixelRatioF();
  if (ratio != cache_ratio_) {
    normal_cache_ = hot_cache_ = QPixmap();
    cache_ratio_ = ratio;
  }
  QPixmap& cached = hot ? hot_cache_ : normal_cache_;
  if (cached.isNull()) cached = render_picture(hot ? look_.hot : look_.normal, size(), ratio);
  return cached;
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPixmap face = picture(hot() || isDown());
  if (!isEnabled() && !face.isNull()) {
    QStyleOption option;
    option.initFrom(this);
    face = style()->generatedIconPixmap(QIcon::Disabled, face, &option);
  }
  if (!face.isNull()) painter.drawPixmap(0, 0, face);

  // The caption: one line when it fits, else two lines of half the characters each (the
  // four-character captions at this size).
  const QRect area(GLYPH_RIGHT, 0, width() - GLYPH_RIGHT - 1, height());
  QFont font = this->font();
  font.setPixelSize(12);
  painter.setFont(font);
  painter.setPen(isEnabled() ? QColor(0x1d, 0x2b, 0x3a) : palette().color(QPalette::Disabled, QPalette::Text));
  QString caption = look_.caption;
  if (QFontMetrics(font).horizontalAdvance(caption) > area.width() && caption.size() > 1) {
    font.setPixelSize(10);
    painter.setFont(font);
    const qsizetype half = (caption.size() + 1) / 2;
    caption = caption.left(half) + QLatin1Char('\n') + caption.mid(half);
  }
  painter.drawText(area.translated(isDown() ? 1 : 0, isDown() ? 1 : 0), Qt::AlignCenter, caption);
}

void PictureButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void PictureButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QAbstractButton::changeEvent(event);
}

}  // namespace corvane
