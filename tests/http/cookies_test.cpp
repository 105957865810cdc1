#include "http/cookies.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace corvane {
namespace {

struct TextCase {
  const char* name;
  const char* input;
  const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class HeaderValue : public testing::TestWithParam<TextCase> {};

TEST_P(HeaderValue, TextAfterTheFirstColonTrimmed) {
  EXPECT_EQ(header_value(GetParam().input), GetParam().expected);
}

const TextCase HEADER_VALUE_CASES[] = {
    {"plain", "Location: /next", "/next"},
    {"blanks_around", "Location:   http://h/a \t", "http://h/a"},
    {"only_first_colon_splits", "Location: http://h:81/a", "http://h:81/a"},
    {"no_blank_after_colon", "X-A:b", "b"},
    {"empty_value", "X-Empty:", ""},
    {"no_colon", "HTTP/1.1 200 OK", ""},
    {"empty_line", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, HeaderValue, testing::ValuesIn(HEADER_VALUE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

class CookieName : public testing::TestWithParam<TextCase> {};

TEST_P(CookieName, TextBeforeTheFirstEqualsTrimmed) {
  EXPECT_EQ(cookie_name(GetParam().input), GetParam().expected);
}

const TextCase COOKIE_NAME_CASES[] = {
    {"plain", "ASPSESSIONID=abc", "ASPSESSIONID"},
    {"blanks_trimmed", "  sid = 1 ", "sid"},
    {"value_with_equals", "a=b=c", "a"},
    {"no_equals_is_whole_entry", " flag ", "flag"},
    {"empty_name", "=v", ""},
    {"empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, CookieName, testing::ValuesIn(COOKIE_NAME_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

struct JoinCase {
  const char* name;
  const char* text;
  const char* separator;
  const char* expected;
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class JoinUnique : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinUnique, KeepsTheFirstOfEachPart) {
  const JoinCase& c = GetParam();
  EXPECT_EQ(join_unique(c.text, c.separator), c.expected);
}

const JoinCase JOIN_CASES[] = {
    {"no_repeats", "a; b; c", "; ", "a; b; c"},
    {"later_repeats_dropped", "a; b; a; c; b", "; ", "a; b; c"},
    {"comparison_is_exact", "A=1; a=1; A=1 ", "; ", "A=1; a=1; A=1 "},
    {"empty_parts_count_as_parts", "a||b||", "|", "a||b"},
    {"empty_text", "", "; ", ""},
    {"separator_absent", "abc", "; ", "abc"},
};

INSTANTIATE_TEST_SUITE_P(Table, JoinUnique, testing::ValuesIn(JOIN_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

struct MergeCase {
  const char* name;
  const char* old_cookies;
  const char* new_cookies;
  const char* merged;      // returned and left in old_cookies
  const char* new_after;   // new_cookies afterwards: blanks removed
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class MergeCookies : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookies, NewEntriesFirstThenOldOnesTheNewListLacks) {
  const MergeCase& c = GetParam();
  std::string old_cookies = c.old_cookies;
  std::string new_cookies = c.new_cookies;
  EXPECT_EQ(merge_cookies(old_cookies, new_cookies), c.merged);
  EXPECT_EQ(old_cookies, c.merged);
  EXPECT_EQ(new_cookies, c.new_after);
}

const MergeCase MERGE_CASES[] = {
    {"replaced_and_deleted", "A=1; B=2", "B=3; C=deleted", "B=3; A=1", "B=3;C=deleted"},
    {"empty_new_keeps_old", "A=1", "", "A=1", ""},
    {"empty_old_takes_new", "", "X=9; Y=8", "X=9; Y=8", "X=9;Y=8"},
    {"both_empty", "", "", "", ""},
    {"deleted_old_entry_dropped", "A=deleted; B=2", "", "B=2", ""},
    {"deletion_removes_old_value", "A=1; B=2", "A=deleted", "B=2", "A=deleted"},
    {"trailing_semicolons", "A=1;", "B=2;", "B=2; A=1", "B=2;"},
    {"names_are_case_sensitive", "sid=1", "SID=2", "SID=2; sid=1", "SID=2"},
    {"blanks_inside_values_removed", "A=x y", "B= 2 ", "B=2; A=xy", "B=2"},
    {"repeated_old_name_first_wins", "A=1; A=2", "", "A=1", ""},
    {"repeated_new_entry_once", "", "A=1; A=1", "A=1", "A=1;A=1"},
};

INSTANTIATE_TEST_SUITE_P(Table, MergeCookies, testing::ValuesIn(MERGE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace corvane
