#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::platform {
namespace {

struct Case {
  const char* name;
  std::string gbk;
  std::u16string utf16;
};

class GbkToUtf16Test : public ::testing::TestWithParam<Case> {};

TEST_P(GbkToUtf16Test, Decodes) { EXPECT_EQ(gbk_to_utf16(GetParam().gbk), GetParam().utf16); }

const Case DECODE_CASES[] = {
    {"empty", "", u""},
    {"ascii", "abc\\|", u"abc\\|"},
    {"mulu", "\xC4\xBF\xC2\xBC", u"目录"},
    {"trail_is_bar", "\x83\x7C", u"億"},
    {"trail_is_backslash", "\xD5\x5C", u"誠"},
    {"euro", "\x80", u"\u20AC"},
    {"ideographic_space", "\xA1\xA1", u"\u3000"},
    {"zero_byte_kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    // One replacement per offending byte; what follows still decodes.
    {"invalid_byte", "a\xFF" "b", u"a\uFFFDb"},
    {"truncated_at_end", "a\xC4", u"a\uFFFD"},
    {"bad_trail", "\x81\x20x", u"\uFFFD x"},
    {"bad_trail_zero", std::string("\xC4\0x", 3), std::u16string(u"\uFFFD\0x", 3)},
    {"two_bad_then_good", "\xFF\xFF\xC4\xBF", u"\uFFFD\uFFFD目"},
};

INSTANTIATE_TEST_SUITE_P(Cases, GbkToUtf16Test, ::testing::ValuesIn(DECODE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

class Utf16ToGbkTest : public ::testing::TestWithParam<Case> {};

TEST_P(Utf16ToGbkTest, Encodes) { EXPECT_EQ(utf16_to_gbk(GetParam().utf16), GetParam().gbk); }

const Case ENCODE_CASES[] = {
    {"empty", "", u""},
    {"mulu", "\xC4\xBF\xC2\xBC", u"目录"},
    {"euro", "\x80", u"\u20AC"},
    {"no_gbk_form", "a?b", u"a\u0E01b"},  // Thai ko kai
    {"pair_without_gbk_form_is_one_mark", "a?b", u"a\U0001F600b"},
    {"lone_high_surrogate", "a?b", std::u16string{u'a', char16_t(0xD800), u'b'}},
    {"lone_low_surrogate", "a?b", std::u16string{u'a', char16_t(0xDC00), u'b'}},
    {"high_surrogate_at_end", "a?", std::u16string{u'a', char16_t(0xD83D)}},
};

INSTANTIATE_TEST_SUITE_P(Cases, Utf16ToGbkTest, ::testing::ValuesIn(ENCODE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Every double-byte GBK code that decodes to a character encodes back to itself.
TEST(CodepageTest, EveryDoubleByteCharacterRoundTrips) {
  int decoded = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string u = gbk_to_utf16(gbk);
      if (u.find(u'\uFFFD') != std::u16string::npos) continue;
      ASSERT_EQ(u.size(), 1u) << std::hex << lead << " " << trail;
      ++decoded;
      ASSERT_EQ(utf16_to_gbk(u), gbk) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(decoded, 21000);  // GBK has 21886 double-byte codes
}

TEST(CodepageTest, LongTextsConvertWhole) {
  // Longer than the converters' internal buffers, with a bad byte in the middle.
  std::string gbk;
  std::u16string utf16;
  for (int i = 0; i < 5000; ++i) {
    gbk += "\xC4\xBF" "a";
    utf16 += u"目a";
  }
  gbk += '\xFF';
  utf16 += u'\uFFFD';
  for (int i = 0; i < 5000; ++i) {
    gbk += "\xD5\x5C";
    utf16 += u"誠";
  }
  EXPECT_EQ(gbk_to_utf16(gbk), utf16);
  std::string back = gbk;
  back[5000 * 3] = '?';
  EXPECT_EQ(utf16_to_gbk(utf16), back);
  EXPECT_EQ(gbk_to_utf8(gbk), utf16_to_utf8(utf16));
}

TEST(CodepageTest, Utf8Edges) {
  EXPECT_EQ(gbk_to_utf8("\xC4\xBF\xC2\xBC"), "\xE7\x9B\xAE\xE5\xBD\x95");  // 目录
  EXPECT_EQ(utf8_to_gbk("\xE7\x9B\xAE\xE5\xBD\x95"), "\xC4\xBF\xC2\xBC");
  EXPECT_EQ(utf8_to_gbk("\xE2\x82\xAC"), "\x80");  // €
  EXPECT_EQ(utf8_to_gbk("a\xC3"), "a?");            // truncated sequence
  EXPECT_EQ(utf8_to_gbk("a\xFF" "b"), "a?b");       // never valid in UTF-8
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD");  // an encoded surrogate
  EXPECT_EQ(utf8_to_utf16("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong NUL
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace corvane::platform
