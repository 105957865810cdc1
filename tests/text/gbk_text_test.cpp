#include "text/gbk_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace corvane {
namespace {

// 億 is 83 7C: its trail byte is "|". 丄 is 81 41 and 乤 81 61: trail bytes "A" and "a".
#define YI "\x83\x7C"
#define SHANG "\x81\x41"
#define ZHA "\x81\x61"
// "#引号" stands for a double quote in markers.
#define QT "#\xD2\xFD\xBA\xC5"

struct BetweenCase {
  const char* name;
  std::string text, left, right;
  long start;
  bool ignore_case;
  std::string expected;
};

class TextBetweenTest : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, Cuts) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(text_between(c.text, c.left, c.right, c.start, c.ignore_case), c.expected);
}

const BetweenCase BETWEEN_CASES[] = {
    {"plain", "<b>x</b>", "<b>", "</b>", 1, false, "x"},
    {"first_occurrence", "<b>1</b><b>2</b>", "<b>", "</b>", 1, false, "1"},
    {"empty_between", "ab", "a", "b", 1, false, ""},
    {"left_missing", "<b>x</b>", "<i>", "</b>", 1, false, ""},
    {"right_missing", "<b>x", "<b>", "</b>", 1, false, ""},
    {"right_looked_for_after_left", "abc", "ab", "b", 1, false, ""},
    {"same_marker_both_sides", "|a|b|", "|", "|", 1, false, "a"},
    {"quote_token_left", "id=\"frxcx\" src=\"http://h/p\">", "src=" QT, QT, 1, false, "http://h/p"},
    {"quote_token_twice", "a=\"1\" b=\"2\"", "b=" QT, QT, 1, false, "2"},
    {"quote_token_with_literal_quote", "v=\"x\"", "v=\"", QT, 1, false, "x"},
    {"start_zero_counts_as_one", "[1][2]", "[", "]", 0, false, "1"},
    {"start_negative_counts_as_one", "[1][2]", "[", "]", -5, false, "1"},
    {"start_skips_first", "[1][2]", "[", "]", 2, false, "2"},
    {"start_on_left_marker", "[1][2]", "[", "]", 4, false, "2"},
    {"start_past_end", "[1][2]", "[", "]", 100, false, ""},
    {"case_differs", "<TD>v</td>", "<td>", "</TD>", 1, false, ""},
    {"ignore_case", "<TD>v</td>", "<td>", "</TD>", 1, true, "v"},
    {"left_not_on_trail_byte", YI "x|y|", "|", "|", 1, false, "y"},
    {"right_not_on_trail_byte", "<" YI ">", "<", "|", 1, false, ""},
    {"start_inside_character", YI "|a|", "|", "|", 2, false, "a"},
    {"gbk_markers", "\xCE\xC4\xBC\xFE:a.txt\xB4\xF3\xD0\xA1" /* 文件:a.txt大小 */,
     "\xCE\xC4\xBC\xFE:", "\xB4\xF3\xD0\xA1", 1, false, "a.txt"},
    {"ignore_case_not_on_trail_letter", SHANG "b[x]", "ab[", "]", 1, true, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextBetweenTest, ::testing::ValuesIn(BETWEEN_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

struct MarkerCase {
  const char* name;
  std::string text, marker;
  long start;
  bool ignore_case;
  std::string expected;
};

class TextBeforeTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(TextBeforeTest, Cuts) {
  const MarkerCase& c = GetParam();
  EXPECT_EQ(text_before(c.text, c.marker, c.start, c.ignore_case), c.expected);
}

const MarkerCase BEFORE_CASES[] = {
    {"plain", "name|12|", "|", 1, false, "name"},
    {"marker_at_position_one", "|name", "|", 1, false, ""},
    {"missing", "name", "|", 1, false, ""},
    {"start_skips_first", "a|b|c", "|", 3, false, "a|b"},
    {"start_zero", "a|b", "|", 0, false, "a"},
    {"ignore_case", "abcXYZ", "xyz", 1, true, "abc"},
    {"case_differs", "abcXYZ", "xyz", 1, false, ""},
    {"not_on_trail_byte", YI "a|b", "|", 1, false, YI "a"},
    {"only_trail_byte", YI "a", "|", 1, false, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextBeforeTest, ::testing::ValuesIn(BEFORE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

class TextAfterLastTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(TextAfterLastTest, Cuts) {
  const MarkerCase& c = GetParam();
  EXPECT_EQ(text_after_last(c.text, c.marker, c.ignore_case), c.expected);
}

const MarkerCase AFTER_LAST_CASES[] = {
    {"plain", "a/b/c.txt", "/", 1, false, "c.txt"},
    {"marker_ends_text", "a/b/", "/", 1, false, ""},
    {"missing", "abc", "/", 1, false, ""},
    {"long_marker", "x--y--z", "--", 1, false, "z"},
    {"overlapping_marker", "aaa", "aa", 1, false, ""},
    {"marker_is_whole_text", "--", "--", 1, false, ""},
    {"ignore_case", "aXbxc", "x", 1, true, "c"},
    {"case_differs", "aXbxc", "X", 1, false, "bxc"},
    {"last_byte_is_trail", "a|" YI, "|", 1, false, YI},
    {"gbk_marker", "\xCE\xC4\xBC\xFE" "1" "\xCE\xC4\xBC\xFE" "2", "\xCE\xC4\xBC\xFE", 1, false, "2"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextAfterLastTest, ::testing::ValuesIn(AFTER_LAST_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(FindTextTest, SearchesByCharacter) {
  struct {
    std::string text, marker;
    long start;
    bool ignore_case;
    std::size_t expected;
  } cases[] = {
      {"abc", "c", 1, false, 3},
      {"abc", "", 1, false, 0},
      {"", "a", 1, false, 0},
      {YI, "|", 1, false, 0},                     // only the trail byte of 億
      {YI YI "|", "|", 1, false, 5},              // the trail walk survives repeats
      {"\xD5\x5C\\", "\\", 1, false, 3},          // 誠 (D5 5C) then a real backslash
      {SHANG "a", "a", 1, true, 3},               // folding never reaches the trail "A"
      {SHANG, "a", 1, true, 0},
      {"x" SHANG, ZHA, 1, true, 0},               // double-byte characters compare exactly
      {"x" SHANG, SHANG, 1, true, 2},
      {"ab" YI "|", "|", 3, false, 5},
      {"ab" YI "|", "|", 4, false, 5},            // start on a trail byte moves on
      {"abc", "abcd", 1, false, 0},
      {"aBc", "BC", 1, true, 2},
      {"a\xB1", "\xB1", 1, false, 2},             // a lone lead byte at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_text(c.text, c.marker, c.start, c.ignore_case), c.expected)
        << "text " << ::testing::PrintToString(c.text) << " marker "
        << ::testing::PrintToString(c.marker) << " start " << c.start;
  }
  EXPECT_EQ(find_last("|" YI "|" YI, "|"), 4u);
  EXPECT_EQ(find_last(YI YI, "|"), 0u);
  EXPECT_TRUE(contains("a" YI "B", "b", true));
  EXPECT_FALSE(contains(YI, "|"));
}

// A start beyond the end of a text that is not zero-terminated must not read past it.
TEST(FindTextTest, StartBeyondTheEndStaysInsideTheText) {
  const char bytes[] = {'a', 'b', '|'};
  auto heap = std::make_unique<char[]>(sizeof bytes);
  std::copy(std::begin(bytes), std::end(bytes), heap.get());
  std::string_view text(heap.get(), sizeof bytes);
  EXPECT_EQ(find_text(text, "|", 3), 3u);
  EXPECT_EQ(find_text(text, "|", 4), 0u);
  EXPECT_EQ(find_text(text, "|", 50), 0u);
  EXPECT_EQ(text_between(text, "a", "|", 9), "");
  EXPECT_EQ(text_before(text, "|", 9), "");
}

TEST(TextFromPointerTest, CopiesOrGivesEmpty) {
  EXPECT_EQ(text_from_pointer(nullptr), "");
  std::string original = "a,b" YI;
  std::string copy = text_from_pointer(original.c_str());
  original[0] = 'z';
  EXPECT_EQ(copy, "a,b" YI);
}

TEST(TextOfBodyTest, StopsAtFirstZero) {
  EXPECT_EQ(text_of_body(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(text_of_body(std::string("\0", 1)), "");
  EXPECT_EQ(text_of_body("abc"), "abc");
}

TEST(ReplaceSplitTest, WorkOnCharacters) {
  EXPECT_EQ(replace_all(YI "|x|", "|", ","), YI ",x,");
  EXPECT_EQ(replace_all("a" QT "b" QT, QUOTE_TOKEN, "\""), "a\"b\"");
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all("abc", "", "x"), "abc");
  EXPECT_EQ(replace_all("abc", "b", ""), "ac");

  struct {
    std::string text, separator;
    TextList expected;
  } cases[] = {
      {"a|" YI "|b", "|", {"a", YI, "b"}},
      {YI YI, "|", {YI YI}},
      {"", "|", {""}},
      {"a||b", "|", {"a", "", "b"}},
      {"a|", "|", {"a", ""}},
      {"|a", "|", {"", "a"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b", ""}},
      {"abc", "", {"abc"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split(c.text, c.separator), c.expected) << ::testing::PrintToString(c.text);
    if (!c.separator.empty()) {
      EXPECT_EQ(join(c.expected, c.separator), c.text);
    }
  }
}

TEST(CaseTest, FoldsAsciiLettersOnly) {
  EXPECT_EQ(ascii_lower("ABC" SHANG "Z"), "abc" SHANG "z");
  EXPECT_EQ(ascii_upper("abc" ZHA "z"), "ABC" ZHA "Z");
  EXPECT_EQ(ascii_lower("\xC4\xBF"), "\xC4\xBF");
  EXPECT_TRUE(starts_with_ignore_case("HTTP://x", "http://"));
  EXPECT_FALSE(starts_with_ignore_case(SHANG, ZHA));
  EXPECT_FALSE(starts_with_ignore_case("ab", "abc"));
}

TEST(TrimTest, RemovesAsciiBlanksAtBothEnds) {
  EXPECT_EQ(trim(" \t\r\nab c\r\n "), "ab c");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim("\xA1\xA1x\xA1\xA1"), "\xA1\xA1x\xA1\xA1");  // the ideographic space stays
}

TEST(ToIntegerTest, ReadsLeadingDigits) {
  struct {
    std::string text;
    long long expected;
  } cases[] = {
      {"42", 42},      {"  42KB", 42}, {"-7", -7}, {"+5", 5},   {"", 0},
      {"x1", 0},       {"\t3", 3},     {"-", 0},   {"12.9", 12}, {"007", 7},
      {"2147483648", 2147483648LL},
  };
  for (const auto& c : cases) EXPECT_EQ(to_integer(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace corvane
