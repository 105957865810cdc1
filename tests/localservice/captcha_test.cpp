// Captcha pictures must be real images whose four characters a reader can make out, and
// the answer check must accept exactly the code shown.
#include <gtest/gtest.h>

#include <set>

#include "localservice/captcha.h"
#include "tests/localservice/service_fixture.h"

namespace corvane::local {
namespace {

TEST(CaptchaImage, IsABitmapOfThePictureBoxSizeWhoseCodeCanBeRead) {
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    const std::string code = new_captcha_code();
    ASSERT_EQ(code.size(), 4u);
    for (char c : code) ASSERT_NE(CAPTCHA_ALPHABET.find(c), std::string_view::npos) << code;
    const std::string bmp = captcha_image(code, seed);
    ASSERT_EQ(bmp.substr(0, 2), "BM");
    ASSERT_EQ(bmp.size(), 54u + 120u * 3u * 45u);
    EXPECT_EQ(test::read_captcha(bmp), code) << "seed " << seed;
  }
}

TEST(CaptchaImage, GlyphsDifferFromEachOtherInEveryPair) {
  std::set<std::array<uint8_t, GLYPH_ROWS>> seen;
  for (char c : CAPTCHA_ALPHABET) {
    ASSERT_NE(glyph(c), nullptr) << c;
    EXPECT_TRUE(seen.insert(*glyph(c)).second) << "duplicate glyph for " << c;
  }
  EXPECT_EQ(glyph('0'), nullptr);  // left out: too close to O
  EXPECT_EQ(glyph('I'), nullptr);
}

TEST(CaptchaImage, SeedsMoveTheCharacters) {
  EXPECT_NE(captcha_image("ABCD", 1), captcha_image("ABCD", 2));
  EXPECT_EQ(captcha_image("ABCD", 7), captcha_image("ABCD", 7));
}

TEST(CaptchaAnswer, MatchesTheCodeWithoutRegardToLetterCase) {
  struct Case {
    const char* code;
    const char* answer;
    bool ok;
  };
  const Case cases[] = {
      {"AB3D", "AB3D", true}, {"AB3D", "ab3d", true}, {"AB3D", "AB3E", false},
      {"AB3D", "AB3", false}, {"AB3D", "AB3DD", false}, {"AB3D", "", false},
      {"", "", false},  // no captcha shown: nothing can be right
  };
  for (const Case& c : cases) EXPECT_EQ(captcha_matches(c.code, c.answer), c.ok) << c.code << "/" << c.answer;
}

}  // namespace
}  // namespace corvane::local
