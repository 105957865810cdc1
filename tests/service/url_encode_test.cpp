#include "service/url_encode.h"

#include <gtest/gtest.h>

#include "tests/support/gbk.h"

namespace corvane {
namespace {

using test::gbk;

TEST(UrlEncode, KeepsOnlyUnreservedAsciiAndEncodesEveryOtherByteInUpperCase) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"minus, dot, digits, letters stay", "a-b.c", "a-b.c"},
      {"all kept classes", "AZaz09-.", "AZaz09-."},
      {"space is %20, never +", "a b", "a%20b"},
      {"underscore, tilde, slash", "_~/", "%5F%7E%2F"},
      {"form delimiters", "&=%+", "%26%3D%25%2B"},
      {"byte below 0x10 keeps two digits", "\t", "%09"},
      {"zero byte", std::string("\0", 1), "%00"},
      {"every byte of a GBK character, upper-case hex", gbk("目录"), "%C4%BF%C2%BC"},
      // Byte by byte: a trail byte that is an ASCII letter stays a letter.
      {"trail byte that is an ASCII letter", "\x81\x41", "%81A"},
      {"highest byte", "\xFF", "%FF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(url_encode(c.in), c.out);
  }
}

TEST(UrlEncode, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string encoded = url_encode(all);
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      decoded.push_back(encoded[i]);
      continue;
    }
    ASSERT_LT(i + 2, encoded.size());
    for (char h : encoded.substr(i + 1, 2))
      EXPECT_TRUE((h >= '0' && h <= '9') || (h >= 'A' && h <= 'F')) << "digit " << h;
    decoded.push_back(static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
    i += 2;
  }
  EXPECT_EQ(decoded, all);
}

TEST(EscapeFormDelimiters, EscapesOnlyWhatChangesTheFormAndKeepsGbkRaw) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"ordinary id unchanged", "z_45_docs_i", "z_45_docs_i"},
      {"GBK name unchanged", gbk("资料 2024"), gbk("资料 2024")},
      {"ampersand and equals", "a&Yz3=9", "a%26Yz3%3D9"},
      {"percent so that the service does not decode it", "a%41", "a%2541"},
      {"plus would read as a space", "C++", "C%2B%2B"},
      {"other punctuation stays raw", "a b_~/|,", "a b_~/|,"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(escape_form_delimiters(c.in), c.out);
  }
}

TEST(OperationSucceeded, NeedsTheExactMarkerAnywhere) {
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
  };
  const Case cases[] = {
      {"bare marker", "parent.Q.f_s=", true},
      {"inside a script after other text",
       gbk("<html>完成<script>var a=1;parent.Q.f_s='ok';</script></html>"), true},
      {"empty answer", "", false},
      {"other letter case", "parent.q.F_S=", false},
      {"without the equals sign", "parent.Q.f_s", false},
      {"a different message", gbk("<script>alert('操作失败');</script>"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(operation_succeeded(c.answer), c.ok);
  }
}

}  // namespace
}  // namespace corvane
