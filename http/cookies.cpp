#include "http/cookies.h"

#include <algorithm>
#include <vector>

#include "text/gbk_text.h"

namespace corvane {

namespace {

// Blanks are single-byte characters below 0x40, which never occur as the trail byte
// of a GBK character, so removing them byte by byte cannot split a character.
void remove_blanks(std::string& text) {
  std::erase_if(text, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

TextList cookie_entries(std::string_view text) {
  if (text.empty()) return {};
  TextList entries = split(text, ";");
  if (entries.back().empty()) entries.pop_back();
  return entries;
}

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::string header_value(std::string_view line) {
  std::size_t colon = find_text(line, ":");
  if (colon == 0) return {};
  return trim(line.substr(colon));
}

std::string cookie_name(std::string_view entry) {
  std::size_t equals = find_text(entry, "=");
  if (equals == 0) return trim(entry);
  return trim(entry.substr(0, equals - 1));
}

std::string join_unique(std::string_view text, std::string_view separator) {
  TextList kept;
  for (std::string& part : split(text, separator))
    if (std::find(kept.begin(), kept.end(), part) == kept.end()) kept.push_back(std::move(part));
  return join(kept, separator);
}

std::string merge_cookies(std::string& old_cookies, std::string& new_cookies) {
  remove_blanks(old_cookies);
  remove_blanks(new_cookies);
  // Old entries are checked against the growing list, so of two old entries with the
  // same name only the first survives.
  TextList merged = cookie_entries(new_cookies);
  for (std::string& entry : cookie_entries(old_cookies)) {
    const std::string name = cookie_name(entry);
    bool replaced = std::any_of(merged.begin(), merged.end(),
                                [&](const std::string& e) { return cookie_name(e) == name; });
    if (!replaced) merged.push_back(std::move(entry));
  }
  std::string result;
  for (const std::string& entry : merged) {
    if (ends_with(entry, "=deleted")) continue;
    result += entry;
    result += "; ";
  }
  if (!result.empty()) result.resize(result.size() - 2);
  old_cookies = join_unique(result, "; ");
  return old_cookies;
}

}  // namespace corvane
