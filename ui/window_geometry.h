#pragma once
// The windows are designed by their outer size: a 3-pixel border on each side and a
// 21-pixel caption around the client area the controls are placed in. Qt sizes the
// client area, so the designed sizes are turned into client sizes here.
#include <QSize>

namespace corvane {

inline constexpr int WINDOW_FRAME_WIDTH = 6;    // both borders
inline constexpr int WINDOW_FRAME_HEIGHT = 24;  // caption and both borders

constexpr QSize client_size(int outer_width, int outer_height) {
  return {outer_width - WINDOW_FRAME_WIDTH, outer_height - WINDOW_FRAME_HEIGHT};
}

}  // namespace corvane
