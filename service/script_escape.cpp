#include "service/script_escape.h"

#include "platform/codepage.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr std::string_view RIGHT_QUOTE = "\xA1\xAF";  // "’" (U+2019)

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool is_octal(char16_t c) { return c >= u'0' && c <= u'7'; }

// Reads `digits` hex digits at s[i]; -1 when there are not that many.
long hex_at(std::u16string_view s, std::size_t i, std::size_t digits) {
  if (s.size() - i < digits) return -1;
  long value = 0;
  for (std::size_t k = 0; k < digits; ++k) {
    int h = hex_value(s[i + k]);
    if (h < 0) return -1;
    value = value * 16 + h;
  }
  return value;
}

// The value of the body of a single-quoted string literal, read the way the old script
// engine reads it. The body never holds an apostrophe (the caller replaced them).
std::u16string literal_value(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c != u'\\') {
      // A raw line break would end the literal and fail the statement; keep it as a
      // character instead, so that escape() writes it as %0D or %0A.
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 == s.size()) {
      // A lone backslash at the end would escape the closing quote; keep it literally.
      out.push_back(u'\\');
      break;
    }
    const char16_t d = s[i + 1];
    i += 2;
    switch (d) {
      case u'b': out.push_back(u'\b'); break;
      case u'f': out.push_back(u'\f'); break;
      case u'n': out.push_back(u'\n'); break;
      case u'r': out.push_back(u'\r'); break;
      case u't': out.push_back(u'\t'); break;
      // The old engine has no vertical-tab escape: "\v" is the letter v (the quirk
      // that browser detection once relied on).
      case u'v': out.push_back(u'v'); break;
      case u'x': {
        long v = hex_at(s, i, 2);
        if (v < 0) {
          out.push_back(u'x');
        } else {
          out.push_back(static_cast<char16_t>(v));
          i += 2;
        }
        break;
      }
      case u'u': {
        long v = hex_at(s, i, 4);
        if (v < 0) {
          out.push_back(u'u');
        } else {
          out.push_back(static_cast<char16_t>(v));
          i += 4;
        }
        break;
      }
      case u'\r':
        if (i < s.size() && s[i] == u'\n') ++i;
        break;  // line continuation: the backslash and the break vanish
      case u'\n':
      case u'\u2028':
      case u'\u2029':
        break;
      default:
        if (is_octal(d)) {
          // Greedy octal: up to three digits from 0-3, up to two from 4-7.
          unsigned value = static_cast<unsigned>(d - u'0');
          const std::size_t max_more = d <= u'3' ? 2 : 1;
          for (std::size_t k = 0; k < max_more && i < s.size() && is_octal(s[i]); ++k, ++i)
            value = value * 8 + static_cast<unsigned>(s[i] - u'0');
          out.push_back(static_cast<char16_t>(value));
        } else {
          out.push_back(d);
        }
        break;
    }
  }
  return out;
}

bool kept_by_escape(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
    return true;
  switch (c) {
    case u'@': case u'*': case u'_': case u'+': case u'-': case u'.': case u'/':
      return true;
    default:
      return false;
  }
}

std::string escape(std::u16string_view s) {
  static constexpr char HEX[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size() * 3);
  for (char16_t c : s) {
    if (kept_by_escape(c)) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x100) {
      out.push_back('%');
      out.push_back(HEX[c >> 4]);
      out.push_back(HEX[c & 0xF]);
    } else {
      out += "%u";
      out.push_back(HEX[(c >> 12) & 0xF]);
      out.push_back(HEX[(c >> 8) & 0xF]);
      out.push_back(HEX[(c >> 4) & 0xF]);
      out.push_back(HEX[c & 0xF]);
    }
  }
  return out;
}

std::string_view trim_spaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string script_escape(std::string_view text, bool restore_brackets,
                          bool restore_punctuation, std::string_view percent_u) {
  const std::string quoted = replace_all(text, "'", RIGHT_QUOTE);
  // escape() writes ASCII only, which is its own GBK form.
  std::string result = escape(literal_value(platform::gbk_to_utf16(quoted)));

  if (restore_brackets) {
    result = replace_all(result, "%7B", "{");
    result = replace_all(result, "%7D", "}");
    result = replace_all(result, "%5B", "[");
    result = replace_all(result, "%5D", "]");
  }
  if (restore_punctuation) {
    result = replace_all(result, "%3A", ":");
    result = replace_all(result, "%2C", ",");
    result = replace_all(result, "%22", "\"");
  }
  if (percent_u != "%u" && !trim_spaces(percent_u).empty())
    result = replace_all(result, "%u", percent_u);
  return replace_all(result, RIGHT_QUOTE, "'");
}

}  // namespace corvane
