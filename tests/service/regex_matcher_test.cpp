#include "service/regex_matcher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace corvane {
namespace {

// GBK bytes used below.
const std::string ZHONGWEN = "\xD6\xD0\xCE\xC4";  // 中文
const std::string MULU = "\xC4\xBF\xC2\xBC";      // 目录
const std::string MING = "\xC3\xFB";              // 名
const std::string QUOTE = "#\xD2\xFD\xBA\xC5";    // #引号

template <class Case>
std::string case_name(const ::testing::TestParamInfo<Case>& row) {
  return row.param.name;
}

std::vector<std::string> all_matches(const RegexMatcher& m) {
  std::vector<std::string> out;
  for (int n = 1; n <= m.count(); ++n) out.push_back(m.match_value(n));
  return out;
}

struct DialectCase {
  const char* name;
  std::string pattern;
  std::string subject;
  std::vector<std::string> matches;
  bool case_sensitive = false;
  bool multiline = true;
  bool global = true;
  bool quote_token = false;
};

void PrintTo(const DialectCase& c, std::ostream* os) { *os << c.name; }

class RegexDialect : public ::testing::TestWithParam<DialectCase> {};

TEST_P(RegexDialect, FindsExactlyTheseMatches) {
  const DialectCase& c = GetParam();
  RegexMatcher m;
  ASSERT_TRUE(m.create(c.pattern, c.subject, c.case_sensitive, c.multiline, c.global,
                       c.quote_token));
  EXPECT_EQ(all_matches(m), c.matches);
}

const DialectCase DIALECT_CASES[] = {
    {"LazyGroupStopsAtFirstFollowingLiteral", "<b>(.*?)</b>", "<b>x</b> <b>y</b>",
     {"<b>x</b>", "<b>y</b>"}},
    {"GreedyGroupRunsToLastLiteral", "<b>(.*)</b>", "<b>x</b> <b>y</b>",
     {"<b>x</b> <b>y</b>"}},
    {"CaseIgnoredByDefault", "abc", "xABCx", {"ABC"}},
    {"CaseSensitiveOnRequest", "abc", "xABCx", {}, true},
    {"NoMatchGivesEmptyCollection", "zzz", "abc", {}},
    {"DotStopsAtLineFeed", "a.b", "a\nb", {}},
    {"DotStopsAtCarriageReturn", "a.b", "a\rb", {}},
    {"LazyGroupDoesNotCrossLineBreak", "<td>(.*?)</td>", "<td>a\r\nb</td><td>c</td>",
     {"<td>c</td>"}},
    {"DotMatchesTabVerticalTabFormFeed", "a.b.c.d", "a\tb\vc\fd", {"a\tb\vc\fd"}},
    {"CaretAfterLineFeed", "^b", "a\nb", {"b"}},
    {"CaretAfterCarriageReturn", "^b", "a\rb", {"b"}},
    {"CaretAfterCrLf", "^b", "a\r\nb", {"b"}},
    {"DollarBeforeCarriageReturn", "a$", "a\rb", {"a"}},
    {"DollarBeforeLineFeed", "a$", "a\nb", {"a"}},
    {"CaretOnlyAtStartWithoutMultiline", "^b", "a\nb", {}, false, false},
    {"DollarOnlyAtVeryEndWithoutMultiline", "a$", "a\n", {}, false, false},
    {"QuoteTokenLiteralByDefault", "id=" + QUOTE + "(.*?)" + QUOTE, "id=\"x\"", {}},
    {"QuoteTokenMatchesItselfByDefault", "id=" + QUOTE + "(.*?)" + QUOTE,
     "id=" + QUOTE + "x" + QUOTE, {"id=" + QUOTE + "x" + QUOTE}},
    {"QuoteTokenIsDoubleQuoteOnRequest", "id=" + QUOTE + "(.*?)" + QUOTE, "id=\"x\"",
     {"id=\"x\""}, false, true, true, true},
    {"GlobalFalseKeepsFirstMatch", "a.", "a1a2a3", {"a1"}, false, true, false},
    {"MatchesDoNotOverlap", "aa", "aaaaa", {"aa", "aa"}},
    {"EmptyMatchesStepOneCharacter", "x*", "axb", {"", "x", "", ""}},
    {"EmptyMatchesStepOverDoubleByteCharacters", "", ZHONGWEN, {"", "", ""}},
    {"ChineseInPatternAndSubject", MULU + "(\\d+)", ZHONGWEN + MULU + "12 " + MULU + "7",
     {MULU + "12", MULU + "7"}},
    {"CaseIgnoredNextToChinese", "ab", ZHONGWEN + "AB", {"AB"}},
    // 亅 is 81 7C and 乤 is 81 61 in GBK: their trail bytes are not "|" and "a".
    {"TrailByteIsNotAsciiBar", "\\|", "\x81\x7C", {}},
    {"TrailByteIsNotAsciiLetter", "a", "\x81\x61", {}},
    {"UnicodeEscapeInPattern", "\\u540D", "x" + MING, {MING}},
    {"HexEscapeInPattern", "\\x41\\x4", "A4Ax4", {"Ax4"}},  // \x needs two hex digits
    {"EmptyClassMatchesNothing", "a[]", "a", {}},
    {"NegatedEmptyClassMatchesLineBreak", "a[^]b", "a\nb", {"a\nb"}},
    {"UnsetBackreferenceMatchesEmpty", "(a)?b\\1", "b", {"b"}},
    {"AlternationLeftmostFirst", "ab|a", "ab a", {"ab", "a"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, RegexDialect, ::testing::ValuesIn(DIALECT_CASES),
                         case_name<DialectCase>);

TEST(RegexMatcher, GroupsNumberedByOpeningParenthesis) {
  RegexMatcher m;
  ASSERT_TRUE(m.create("((a)(b))(c)?", "ab abc"));
  ASSERT_EQ(m.count(), 2);
  EXPECT_EQ(m.submatch_count(), 4);
  EXPECT_EQ(m.submatch(1, 1), "ab");
  EXPECT_EQ(m.submatch(1, 2), "a");
  EXPECT_EQ(m.submatch(1, 3), "b");
  EXPECT_EQ(m.submatch(1, 4), "");  // took no part
  EXPECT_EQ(m.submatch(2, 4), "c");
}

TEST(RegexMatcher, ListingStylePatternReadsRowsAndGroups) {
  // The shape of a listing row: lazy groups up to the next literal, on one line each.
  const std::string page =
      "<div id='x12_" + MULU + "&k=1'><table cellspacing=0><a href='javascript:;' class='d'>" +
      ZHONGWEN + "</a><label>3</label>\r\n"
      "<div id='x7_b&k=2'><table cellspacing=0><a href='javascript:;' class='d'>two</a>"
      "<label>4</label>";
  RegexMatcher m;
  m.create("id='x(.*?)&.*?'><table cellspacing=.*?javascript:;' class='.*?'>(.*?)</a>"
           "<label>.*?</label>",
           page);
  ASSERT_EQ(m.count(), 2);
  EXPECT_EQ(m.submatch(1, 1), "12_" + MULU);
  EXPECT_EQ(m.submatch(1, 2), ZHONGWEN);
  EXPECT_EQ(m.submatch(2, 1), "7_b");
  EXPECT_EQ(m.submatch(2, 2), "two");
}

TEST(RegexMatcher, OutOfRangeRequestsGiveEmptyText) {
  RegexMatcher m;
  ASSERT_TRUE(m.create("(a)", "a"));
  long position = 99;
  EXPECT_EQ(m.match_value(0, &position), "");
  EXPECT_EQ(position, -1);
  EXPECT_EQ(m.match_value(2), "");
  EXPECT_EQ(m.submatch(1, 0), "");
  EXPECT_EQ(m.submatch(1, 2), "");
  EXPECT_EQ(m.submatch(2, 1), "");
}

TEST(RegexMatcher, NothingCollectedBeforeCreate) {
  RegexMatcher m;
  EXPECT_EQ(m.count(), 0);
  EXPECT_EQ(m.submatch_count(), 0);
  EXPECT_EQ(m.submatch(1, 1), "");
  EXPECT_EQ(m.match_value(1), "");
  EXPECT_EQ(m.pattern(), "");
  EXPECT_EQ(m.replace("x"), "");
}

TEST(RegexMatcher, InvalidPatternLeavesNoCollection) {
  RegexMatcher m;
  ASSERT_TRUE(m.create("(a)", "aaa"));
  ASSERT_EQ(m.count(), 3);
  // A parser that ignores the result of create must find nothing to parse.
  EXPECT_FALSE(m.create("(a", "aaa"));
  EXPECT_EQ(m.count(), 0);
  EXPECT_EQ(m.submatch_count(), 0);
  EXPECT_EQ(m.submatch(1, 1), "");
  EXPECT_EQ(m.match_value(1), "");
  EXPECT_EQ(m.replace("x"), "");
  EXPECT_EQ(m.pattern(), "(a");
  // And the matcher is usable again afterwards.
  EXPECT_TRUE(m.create("a", "aa"));
  EXPECT_EQ(m.count(), 2);
}

TEST(RegexMatcher, EachCreateReplacesTheLast) {
  RegexMatcher m;
  ASSERT_TRUE(m.create("(\\d)", "1 2 3"));
  ASSERT_EQ(m.count(), 3);
  ASSERT_TRUE(m.create("([a-z])([a-z])", "xy"));
  EXPECT_EQ(m.count(), 1);
  EXPECT_EQ(m.submatch_count(), 2);
  EXPECT_EQ(m.submatch(1, 2), "y");
  EXPECT_EQ(m.pattern(), "([a-z])([a-z])");
}

TEST(RegexMatcher, PatternShowsResolvedQuoteToken) {
  RegexMatcher m;
  m.create("a" + QUOTE + MING, "", false, true, true, true);
  EXPECT_EQ(m.pattern(), "a\"" + MING);
  m.create("a" + QUOTE, "");
  EXPECT_EQ(m.pattern(), "a" + QUOTE);
}

TEST(RegexMatcher, PositionsAreByteOffsetsInTheGbkSubject) {
  RegexMatcher m;
  // 中文 takes four bytes but two UTF-16 units. The second "a" is at byte 6; a search
  // from the UTF-16 index would stop at the first "a" (byte 4).
  ASSERT_TRUE(m.create("(a)", ZHONGWEN + "aba"));
  ASSERT_EQ(m.count(), 2);
  long position = -2;
  EXPECT_EQ(m.match_value(1, &position), "a");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(m.match_value(2, &position), "a");
  EXPECT_EQ(position, 6);
  EXPECT_EQ(m.submatch(2, 1, &position), "a");
  EXPECT_EQ(position, 6);

  ASSERT_TRUE(m.create(MULU + "(\\d+)(x)?", ZHONGWEN + "-" + MULU + "12"));
  EXPECT_EQ(m.match_value(1, &position), MULU + "12");
  EXPECT_EQ(position, 5);
  EXPECT_EQ(m.submatch(1, 1, &position), "12");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(m.submatch(1, 2, &position), "");
  EXPECT_EQ(position, -1);  // took no part: no position
}

TEST(RegexMatcher, PositionOfEmptyMatch) {
  RegexMatcher m;
  ASSERT_TRUE(m.create("$", ZHONGWEN, false, false));
  ASSERT_EQ(m.count(), 1);
  long position = -2;
  EXPECT_EQ(m.match_value(1, &position), "");
  EXPECT_EQ(position, 4);
}

TEST(RegexMatcher, ManyRowsInOneLargeSubject) {
  std::string page;
  for (int i = 0; i < 10000; ++i)
    page += "<tr><td>" + MULU + std::to_string(i) + "</td><td>" + std::to_string(i * 3) +
            "</td></tr>\r\n";
  RegexMatcher m;
  ASSERT_TRUE(m.create("<td>(.*?)</td><td>(.*?)</td>", page));
  ASSERT_EQ(m.count(), 10000);
  EXPECT_EQ(m.submatch(1, 1), MULU + "0");
  EXPECT_EQ(m.submatch(5000, 2), "14997");
  EXPECT_EQ(m.submatch(10000, 1), MULU + "9999");
  EXPECT_EQ(m.submatch(10000, 2), "29997");
}

TEST(RegexMatcher, DeepBacktrackingStillMatches) {
  // Each repetition of the group leaves a backtracking point: far more than the JIT's
  // default stack holds.
  std::string subject;
  for (int i = 0; i < 50000; ++i) subject += (i % 2 ? "b" : MING);
  subject += "c";
  RegexMatcher m;
  ASSERT_TRUE(m.create("(b|" + MING + ")*c", subject));
  ASSERT_EQ(m.count(), 1);
  EXPECT_EQ(m.match_value(1), subject);
  EXPECT_EQ(m.submatch(1, 1), "b");
}

TEST(RegexMatcher, RunawayBacktrackingGivesNoCollection) {
  // Exponential in the number of "a"s; the engine's match limit stops it, and a cut-off
  // collection must not pass for a complete one.
  RegexMatcher m;
  EXPECT_FALSE(m.create("(a+)+$", "x " + std::string(40, 'a') + "!", false, false));
  EXPECT_EQ(m.count(), 0);
}

struct ReplaceCase {
  const char* name;
  std::string pattern;
  std::string subject;
  std::string replacement;
  std::string expected;
  bool global = true;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

class RegexReplace : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(RegexReplace, ReplacesMatches) {
  const ReplaceCase& c = GetParam();
  RegexMatcher m;
  ASSERT_TRUE(m.create(c.pattern, c.subject, false, true, c.global));
  EXPECT_EQ(m.replace(c.replacement), c.expected);
}

const ReplaceCase REPLACE_CASES[] = {
    {"EveryMatchWhenGlobal", "a", "banana", "o", "bonono"},
    {"FirstMatchOnlyWhenNotGlobal", "a", "banana", "o", "bonana", false},
    {"NoMatchLeavesSubject", "z", ZHONGWEN + "a", "o", ZHONGWEN + "a"},
    {"GroupsSwapped", "(\\w+)=(\\w+)", "k=v;x=y", "$2=$1", "v=k;y=x"},
    {"DollarDollarIsDollar", "a", "a", "$$", "$"},
    {"DollarAmpersandIsMatch", "\\d+", "x12y", "[$&]", "x[12]y"},
    {"DollarBacktickIsTextBefore", "b", "abc", "<$`>", "a<a>c"},
    {"DollarQuoteIsTextAfter", "b", "abc", "<$'>", "a<c>c"},
    {"TwoDigitGroupWhenItExists", "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "abcdefghij", "$10$1",
     "ja"},
    {"OneDigitGroupThenLiteralDigit", "(a)", "a", "$10", "a0"},
    {"GroupZeroIsLiteral", "(a)", "a", "$0", "$0"},
    {"MissingGroupIsLiteral", "(a)", "a", "$2", "$2"},
    {"LoneDollarIsLiteral", "a", "a", "$x$", "$x$"},
    {"UnsetGroupIsEmpty", "(x)?a", "a", "[$1]", "[]"},
    {"ChineseReplacement", "a", ZHONGWEN + "a" + MULU, MING + "$&", ZHONGWEN + MING + "a" + MULU},
    {"EmptyMatchesInsertBetweenCharacters", "", ZHONGWEN, "-", "-\xD6\xD0-\xCE\xC4-"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RegexReplace, ::testing::ValuesIn(REPLACE_CASES),
                         case_name<ReplaceCase>);

}  // namespace
}  // namespace corvane
