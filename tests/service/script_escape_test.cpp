#include "service/script_escape.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace corvane {
namespace {

const std::string MING = "\xC3\xFB";         // 名
const std::string RIGHT_QUOTE = "\xA1\xAF";  // ’

template <class Case>
std::string case_name(const ::testing::TestParamInfo<Case>& row) {
  return row.param.name;
}

struct EscapeCase {
  const char* name;
  std::string text;
  std::string expected;
  bool restore_brackets = false;
  bool restore_punctuation = false;
  std::string percent_u = "";
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class ScriptEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(ScriptEscape, Escapes) {
  const EscapeCase& c = GetParam();
  EXPECT_EQ(script_escape(c.text, c.restore_brackets, c.restore_punctuation, c.percent_u),
            c.expected);
}

// escape() itself and the restore steps.
const EscapeCase ESCAPE_CASES[] = {
    {"Empty", "", ""},
    {"Space", "a b", "a%20b"},
    {"ChineseAsCodePoint", MING, "%u540D"},
    {"KeptCharacters", "AZaz09@*_+-./", "AZaz09@*_+-./"},
    {"AsciiPunctuation", "~!#$%^&()=?<>|", "%7E%21%23%24%25%5E%26%28%29%3D%3F%3C%3E%7C"},
    // ° (GBK A1 E3) is U+00B0, € (GBK 80) is U+20AC.
    {"LatinOneAsTwoHexDigits", "\xA1\xE3", "%B0"},
    {"AboveLatinOneAsFourHexDigits", "\x80", "%u20AC"},
    {"ApostropheLeavesAsRightQuote", "it's", "it%u2019s"},
    {"RightQuoteInInput", "it" + RIGHT_QUOTE + "s", "it%u2019s"},
    {"BracketsEscapedByDefault", "{a}[b]", "%7Ba%7D%5Bb%5D"},
    {"BracketsRestored", "{a}[b]", "{a}[b]", true},
    {"PunctuationEscapedByDefault", "a:b,c\"d", "a%3Ab%2Cc%22d"},
    {"PunctuationRestored", "a:b,c\"d", "a:b,c\"d", false, true},
    {"PercentUReplaced", "a" + MING, "a\\u540D", false, false, "\\u"},
    {"PercentUSameAsDefault", MING, "%u540D", false, false, "%u"},
    {"PercentUBlankIgnored", MING, "%u540D", false, false, "   "},
    {"PercentUKeepsItsSpaces", MING, " &540D", false, false, " &"},
    {"PercentUDoesNotTouchTwoDigitEscapes", "a b", "a%20b", false, false, "\\u"},
    {"RightQuoteFromPercentUBecomesApostrophe", MING, "'540D", false, false, RIGHT_QUOTE},
    {"ApostropheStaysEscapedWithPercentU", "'", "X2019", false, false, "X"},
    // 乗 is 81 5C in GBK: its trail byte is not a backslash, so no "\n" escape follows.
    {"TrailByteIsNotBackslash", "\x81\x5Cn", "%u4E57n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ScriptEscape, ::testing::ValuesIn(ESCAPE_CASES),
                         case_name<EscapeCase>);

// The text is the body of a single-quoted script literal: backslash escapes count.
const EscapeCase LITERAL_CASES[] = {
    {"Tab", "a\\tb", "a%09b"},
    {"Backspace", "\\b", "%08"},
    {"FormFeed", "\\f", "%0C"},
    {"LineFeed", "\\n", "%0A"},
    {"CarriageReturn", "\\r", "%0D"},
    {"VIsTheLetterV", "\\v", "v"},
    {"Zero", "\\0", "%00"},
    {"ZeroThenDecimalDigit", "\\08", "%008"},
    {"ThreeOctalDigits", "\\101", "A"},
    {"OctalStopsAfterThreeDigits", "\\1010", "A0"},
    {"TwoOctalDigits", "\\41x", "%21x"},
    {"HighestThreeDigitOctal", "\\377", "%FF"},
    {"FourToSevenTakesTwoDigits", "\\400", "%200"},
    {"SevenSevenSeven", "\\777", "%3F7"},
    {"EightIsItself", "\\8", "8"},
    {"Hex", "\\x41", "A"},
    {"HexLatinOne", "\\xe9", "%E9"},
    {"HexTooShortIsLetter", "\\x4", "x4"},
    {"HexNotHexIsLetter", "\\x4g", "x4g"},
    {"Unicode", "\\u540d", "%u540D"},
    {"UnicodeTooShortIsLetter", "\\u54", "u54"},
    {"UnicodeNotHexIsLetter", "\\u54x0", "u54x0"},
    {"UnicodeApostropheIsPlainApostrophe", "\\u0027", "%27"},
    {"EscapedBackslash", "a\\\\b", "a%5Cb"},
    {"EscapedDoubleQuote", "\\\"", "%22"},
    {"EscapedApostropheIsRightQuote", "\\'", "%u2019"},
    {"OtherLetterIsItself", "\\q", "q"},
    {"EscapedChineseIsItself", "\\" + MING, "%u540D"},
    {"ContinuationLf", "a\\\nb", "ab"},
    {"ContinuationCr", "a\\\rb", "ab"},
    {"ContinuationCrLf", "a\\\r\nb", "ab"},
    // Inputs that would break the real statement.
    {"RawLineFeed", "a\nb", "a%0Ab"},
    {"RawCrLf", "a\r\nb", "a%0D%0Ab"},
    {"LoneTrailingBackslash", "a\\", "a%5C"},
    {"OddTrailingBackslashes", "a\\\\\\", "a%5C%5C"},
    {"OnlyBackslash", "\\", "%5C"},
};

INSTANTIATE_TEST_SUITE_P(Literal, ScriptEscape, ::testing::ValuesIn(LITERAL_CASES),
                         case_name<EscapeCase>);

TEST(ScriptEscapeUse, UploadFileNameStaysAscii) {
  // A typical upload name: Chinese, spaces, brackets and an apostrophe.
  const std::string name = "\xB2\xE2\xCA\xD4 (1) it's [v2].txt";  // 测试 (1) it's [v2].txt
  const std::string escaped = script_escape(name);
  EXPECT_EQ(escaped, "%u6D4B%u8BD5%20%281%29%20it%u2019s%20%5Bv2%5D.txt");
  for (char c : escaped) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

}  // namespace
}  // namespace corvane
