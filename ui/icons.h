#pragma once
// The client's pictures, drawn from the SVG files in ui/resources (crisp at any scale).
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace corvane {

inline constexpr int LIST_ICON_COUNT = 11;

// Makes the compiled-in pictures available; the program calls it once at start-up
// (tests too). Safe to call more than once.
void init_pictures();

// Icon index of the list views: 0 any other file, 1 archive, 2 program, 3 picture,
// 4 go-up row, 5 plain text, 6 word-processor document, 7 spreadsheet, 8 audio,
// 9 video, 10 directory. An index outside 0..10 gives a null icon.
QIcon list_icon(int index);

// The SVG at resource path (":/buttons/upload.svg") drawn at size logical pixels for a
// screen of the given device pixel ratio; a null pixmap when the file is missing.
QPixmap render_picture(const QString& path, QSize size, qreal device_pixel_ratio);

}  // namespace corvane
