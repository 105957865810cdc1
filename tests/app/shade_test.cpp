// The engine's colour arithmetic, compiled for the host from the engine's own header.
#include <gtest/gtest.h>

#include <cstdint>

extern "C++" {
#include "skin/engine/shade.h"
}

namespace corvane {
namespace {

TEST(ShadeTest, NoShiftGivesEveryColourBackExactly) {
  for (unsigned rgb = 0; rgb <= 0xFFFFFF; ++rgb) {
    const unsigned back = shade_colour(rgb, 0, 0, 0);
    if (back != rgb) {
      ADD_FAILURE() << std::hex << rgb << " came back as " << back;
      return;
    }
    // A full turn of the hue is no turn at all.
    if (rgb % 97 == 0) {
      ASSERT_EQ(shade_colour(rgb, 360, 0, 0), rgb) << std::hex << rgb;
    }
  }
}

TEST(ShadeTest, Shifts) {
  struct Case {
    const char* what;
    unsigned rgb;
    int hue, saturation, brightness;
    unsigned expected;
  };
  const Case cases[] = {
      {"red turned by 120 degrees is green", 0xFF0000, 120, 0, 0, 0x00FF00},
      {"red turned by -120 degrees is blue", 0xFF0000, -120, 0, 0, 0x0000FF},
      {"red turned by 60 degrees is yellow", 0xFF0000, 60, 0, 0, 0xFFFF00},
      {"turns wrap around", 0xFF0000, 480, 0, 0, 0x00FF00},
      {"greys have no hue to turn", 0x808080, 90, 0, 0, 0x808080},
      {"full brightness is white", 0x2F6FB3, 0, 0, 100, 0xFFFFFF},
      {"no brightness is black", 0x2F6FB3, 0, 0, -100, 0x000000},
      {"brightness beyond 100 counts as 100", 0x2F6FB3, 0, 0, 1000, 0xFFFFFF},
      {"no saturation is the grey of the same lightness", 0xC04040, 0, -100, 0, 0x808080},
      {"double saturation doubles the chroma exactly", 0x9F6060, 0, 100, 0, 0xBF4141},
      {"saturation stops at full", 0xFF0000, 0, 100, 0, 0xFF0000},
      {"half brightness halves the lightness, keeps the hue", 0xFF0000, 0, 0, -50, 0x800000},
      {"half towards white keeps the saturation", 0xFF0000, 0, 0, 50, 0xFF8080},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shade_colour(c.rgb, c.hue, c.saturation, c.brightness), c.expected)
        << c.what << std::hex << " got " << shade_colour(c.rgb, c.hue, c.saturation, c.brightness);
  }
}

TEST(ShadeTest, ShiftsStayWithinChannels) {
  const int hues[] = {-725, -90, 0, 17, 180, 359};
  const int amounts[] = {-100, -63, -1, 0, 1, 37, 100};
  for (unsigned rgb = 0; rgb <= 0xFFFFFF; rgb += 0x010203) {
    for (int h : hues)
      for (int s : amounts)
        for (int b : amounts) ASSERT_LE(shade_colour(rgb, h, s, b), 0xFFFFFFu);
  }
}

}  // namespace
}  // namespace corvane
