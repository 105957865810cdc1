#include "ui/icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <array>

static void init_picture_resources() { Q_INIT_RESOURCE(pictures); }

namespace corvane {

namespace {

constexpr std::array<const char*, LIST_ICON_COUNT> LIST_ICON_FILES = {
    ":/list/00_file.svg",     ":/list/01_archive.svg", ":/list/02_program.svg",
    ":/list/03_picture.svg",  ":/list/04_go_up.svg",   ":/list/05_text.svg",
    ":/list/06_document.svg", ":/list/07_spreadsheet.svg", ":/list/08_audio.svg",
    ":/list/09_video.svg",    ":/list/10_directory.svg"};

}  // namespace

void init_pictures() {
  static const bool done = (init_picture_resources(), true);
  (void)done;
}

QPixmap render_picture(const QString& path, QSize size, qreal device_pixel_ratio) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QPixmap pixmap(size * device_pixel_ratio);
  pixmap.setDevicePixelRatio(device_pixel_ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}

QIcon list_icon(int index) {
  // The icons are made once and shared by every row of both lists.
  static const std::array<QIcon, LIST_ICON_COUNT> icons = [] {
    init_pictures();
    std::array<QIcon, LIST_ICON_COUNT> made;
    for (std::size_t i = 0; i < made.size(); ++i) {
      for (qreal ratio : {1.0, 2.0})
        made[i].addPixmap(render_picture(LIST_ICON_FILES[i], QSize(16, 16), ratio));
    }
    return made;
  }();
  if (index < 0 || index >= LIST_ICON_COUNT) return {};
  return icons[static_cast<std::size_t>(index)];
}

}  // namespace corvane
