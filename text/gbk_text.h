#pragma once
// GBK byte-string helpers. Every text inside the core is GBK bytes in a std::string.
// Positions are 1-based byte positions, 0 meaning "not found". Searches step through
// the text character by character, so a match never starts on the trail byte of a
// double-byte character (trail bytes include "|", "\\" and ASCII letters).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

using TextList = std::vector<std::string>;

// The literal that stands for a double quote inside markers and patterns.
inline constexpr std::string_view QUOTE_TOKEN = "#\xD2\xFD\xBA\xC5";  // "#引号"

// Length in bytes of the character that starts at byte index i (0-based): 2 for a
// lead byte followed by another byte, 1 otherwise.
inline std::size_t char_length(std::string_view text, std::size_t i) {
  unsigned char b = static_cast<unsigned char>(text[i]);
  return (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

// 1-based position of the first occurrence of marker at or after start (values
// below 1 count as 1), on a character boundary; 0 when absent or marker is empty.
// ignore_case folds ASCII letters only, and never inside a double-byte character.
std::size_t find_text(std::string_view text, std::string_view marker, long start = 1,
                      bool ignore_case = false);
// 1-based position of the last occurrence of marker on a character boundary; 0 if none.
std::size_t find_last(std::string_view text, std::string_view marker, bool ignore_case = false);
bool contains(std::string_view text, std::string_view marker, bool ignore_case = false);

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         long start = 1, bool ignore_case = false);
std::string text_before(std::string_view text, std::string_view marker, long start = 1,
                        bool ignore_case = false);
std::string text_after_last(std::string_view text, std::string_view marker,
                            bool ignore_case = false);
std::string text_from_pointer(const char* address);

// The bytes of an answer up to its first zero byte.
std::string text_of_body(std::string_view body);

// Every occurrence (character boundaries only) of from replaced by to.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);
// Split at every occurrence of separator; an empty text gives one empty part.
TextList split(std::string_view text, std::string_view separator);
std::string join(const TextList& parts, std::string_view separator);

std::string ascii_lower(std::string_view text);
std::string ascii_upper(std::string_view text);
// Removes ASCII blanks (space, tab, CR, LF) at both ends.
std::string trim(std::string_view text);
bool starts_with_ignore_case(std::string_view text, std::string_view prefix);

// The decimal value at the start of text after leading blanks, as the platform's
// string-to-integer conversion reads it (stops at the first non-digit; 0 if none).
long long to_integer(std::string_view text);

}  // namespace corvane
