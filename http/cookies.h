#pragma once
// Helpers for header lines and for cookie texts of the form "a=1; b=2".
#include <string>
#include <string_view>

namespace corvane {

// The text after the first ":" of a header line with leading and trailing blanks
// removed; "" when the line has no ":".
std::string header_value(std::string_view line);

// The name of a cookie entry "name=value": the text before the first "=", trimmed; the
// whole entry trimmed when it has no "=".
std::string cookie_name(std::string_view entry);

// Splits text at separator and joins the parts again, each kept only the first time it
// occurs (exact comparison).
std::string join_unique(std::string_view text, std::string_view separator);

// Merges the cookies an answer set (new_cookies) into the caller's cookie text: first
// the new entries, then the old entries whose name the new list lacks; entries whose
// value is "deleted" are dropped. Blanks are removed from both texts in place, and
// old_cookies receives the result, which is also returned.
// Example: old "A=1; B=2", new "B=3; C=deleted" -> "B=3; A=1".
std::string merge_cookies(std::string& old_cookies, std::string& new_cookies);

}  // namespace corvane
