#include "text/gbk_text.h"

#include <cstring>

namespace corvane {

namespace {

bool is_lead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Does marker match text at byte index i? Case folding applies to single-byte
// characters of the marker only; double-byte characters compare exactly.
bool matches_at(std::string_view text, std::size_t i, std::string_view marker, bool ignore_case) {
  if (text.size() - i < marker.size()) return false;
  if (!ignore_case) return std::memcmp(text.data() + i, marker.data(), marker.size()) == 0;
  for (std::size_t k = 0; k < marker.size();) {
    if (is_lead(static_cast<unsigned char>(marker[k])) && k + 1 < marker.size()) {
      if (text[i + k] != marker[k] || text[i + k + 1] != marker[k + 1]) return false;
      k += 2;
    } else {
      if (fold(text[i + k]) != fold(marker[k])) return false;
      k += 1;
    }
  }
  return true;
}

// Byte index of the first character boundary at or after `from`, walking from a
// known boundary `boundary` <= from; the end of the text when from lies beyond it.
std::size_t boundary_at_or_after(std::string_view text, std::size_t boundary, std::size_t from) {
  while (boundary < from && boundary < text.size()) boundary += char_length(text, boundary);
  return boundary;
}

// 0-based index of the first match at or after the boundary `begin`, or npos.
std::size_t find_from(std::string_view text, std::string_view marker, std::size_t begin,
                      bool ignore_case) {
  if (marker.empty() || begin >= text.size()) return std::string_view::npos;
  if (ignore_case) {
    for (std::size_t i = begin; i < text.size(); i += char_length(text, i))
      if (matches_at(text, i, marker, true)) return i;
    return std::string_view::npos;
  }
  // Let the library find byte candidates, and walk the boundaries up to each one; the
  // walk covers the text once in total.
  std::size_t boundary = begin;
  std::size_t from = begin;
  while (true) {
    std::size_t candidate = text.find(marker, from);
    if (candidate == std::string_view::npos) return candidate;
    boundary = boundary_at_or_after(text, boundary, candidate);
    if (boundary == candidate) return candidate;
    from = boundary;  // the candidate started on a trail byte: go on from the next character
  }
}

// 0-based index of the first character boundary at or after the 1-based position start,
// counting from the beginning of the text.
std::size_t start_index(std::string_view text, long start) {
  if (start <= 1) return 0;
  return boundary_at_or_after(text, 0, static_cast<std::size_t>(start - 1));
}

std::string resolve_quote_token(std::string_view marker) {
  return replace_all(marker, QUOTE_TOKEN, "\"");
}

}  // namespace

std::size_t find_text(std::string_view text, std::string_view marker, long start,
                      bool ignore_case) {
  std::size_t i = find_from(text, marker, start_index(text, start), ignore_case);
  return i == std::string_view::npos ? 0 : i + 1;
}

std::size_t find_last(std::string_view text, std::string_view marker, bool ignore_case) {
  std::size_t last = 0;
  std::size_t i = 0;
  while (true) {
    i = find_from(text, marker, i, ignore_case);
    if (i == std::string_view::npos) return last;
    last = i + 1;
    i += char_length(text, i);
  }
}

bool contains(std::string_view text, std::string_view marker, bool ignore_case) {
  return find_text(text, marker, 1, ignore_case) != 0;
}

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         long start, bool ignore_case) {
  std::string l = resolve_quote_token(left);
  std::string r = resolve_quote_token(right);
  std::size_t lpos = find_text(text, l, start, ignore_case);
  if (lpos == 0) return {};
  std::size_t from = lpos - 1 + l.size();  // 0-based index just after the left marker
  std::size_t ri = find_from(text, r, from, ignore_case);
  if (ri == std::string_view::npos) return {};
  return std::string(text.substr(from, ri - from));
}

std::string text_before(std::string_view text, std::string_view marker, long start,
                        bool ignore_case) {
  std::size_t pos = find_text(text, marker, start, ignore_case);
  if (pos <= 1) return {};
  return std::string(text.substr(0, pos - 1));
}

std::string text_after_last(std::string_view text, std::string_view marker, bool ignore_case) {
  std::size_t pos = find_last(text, marker, ignore_case);
  if (pos == 0) return {};
  return std::string(text.substr(pos - 1 + marker.size()));
}

std::string text_from_pointer(const char* address) {
  return address ? std::string(address) : std::string();
}

std::string text_of_body(std::string_view body) {
  return std::string(body.substr(0, body.find('\0')));
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (true) {
    std::size_t hit = find_from(text, from, i, false);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(i, hit - i));
    out.append(to);
    i = hit + from.size();
  }
  out.append(text.substr(i));
  return out;
}

TextList split(std::string_view text, std::string_view separator) {
  TextList parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  std::size_t i = 0;
  while (true) {
    std::size_t hit = find_from(text, separator, i, false);
    if (hit == std::string_view::npos) break;
    parts.emplace_back(text.substr(i, hit - i));
    i = hit + separator.size();
  }
  parts.emplace_back(text.substr(i));
  return parts;
}

std::string join(const TextList& parts, std::string_view separator) {
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k) out.append(separator);
    out.append(parts[k]);
  }
  return out;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); i += char_length(out, i)) out[i] = fold(out[i]);
  return out;
}

std::string ascii_upper(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); i += char_length(out, i))
    if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  return out;
}

std::string trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t b = 0, e = text.size();
  while (b < e && blank(text[b])) ++b;
  while (e > b && blank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

bool starts_with_ignore_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && matches_at(text, 0, prefix, true);
}

long long to_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (9223372036854775807LL - 9) / 10) break;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace corvane
