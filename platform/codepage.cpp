#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <vector>
#endif

namespace corvane::platform {

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

}  // namespace

#ifdef _WIN32

std::u16string gbk_to_utf16(std::string_view gbk) {
  if (gbk.empty()) return {};
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()),
                      reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string utf16_to_gbk(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  auto src = reinterpret_cast<const wchar_t*>(utf16.data());
  int n = WideCharToMultiByte(936, 0, src, static_cast<int>(utf16.size()), nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, src, static_cast<int>(utf16.size()), out.data(), n, "?", nullptr);
  return out;
}

#else

namespace {

// The code page as two tables, built once from iconv's CP936 converter: every double-byte
// code to its UTF-16 unit, and back. Pages of several megabytes convert in a few
// milliseconds this way, ASCII runs without any lookup at all.
struct Tables {
  std::vector<char16_t> to_unicode;  // index lead << 8 | trail; 0 = no character
  std::vector<uint16_t> to_gbk;      // index UTF-16 unit; 0 = no GBK form
  char16_t byte_80 = 0;              // the single byte 0x80 (the euro sign)

  Tables() : to_unicode(65536, 0), to_gbk(65536, 0) {
    iconv_t cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    auto convert = [&](const char* in, size_t n) -> char16_t {
      char out[8];
      char* src = const_cast<char*>(in);
      size_t left = n;
      char* dst = out;
      size_t room = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0 ||
          sizeof out - room != 2)
        return 0;
      char16_t unit;
      std::memcpy(&unit, out, 2);
      return unit;
    };
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char16_t unit = convert(pair, 2);
        if (unit == 0) continue;
        uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
        to_unicode[code] = unit;
        if (to_gbk[unit] == 0) to_gbk[unit] = code;
      }
    }
    char euro = static_cast<char>(0x80);
    byte_80 = convert(&euro, 1);
    if (byte_80 != 0 && to_gbk[byte_80] == 0) to_gbk[byte_80] = 0x80;
    iconv_close(cd);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
  std::u16string out;
  if (gbk.empty()) return out;
  const Tables& t = tables();
  out.resize(gbk.size());
  char16_t* dst = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
  const size_t n = gbk.size();
  size_t i = 0;
  while (i < n) {
    unsigned char b = p[i];
    if (b < 0x80) {
      *dst++ = b;
      ++i;
      continue;
    }
    if (b == 0x80) {
      *dst++ = t.byte_80 ? t.byte_80 : REPLACEMENT;
      ++i;
      continue;
    }
    if (b <= 0xFE && i + 1 < n) {
      char16_t unit = t.to_unicode[static_cast<size_t>(b) << 8 | p[i + 1]];
      if (unit != 0) {
        *dst++ = unit;
        i += 2;
        continue;
      }
    }
    // An invalid or truncated sequence: one replacement character for the offending byte.
    *dst++ = REPLACEMENT;
    ++i;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

std::string utf16_to_gbk(std::u16string_view utf16) {
  std::string out;
  if (utf16.empty()) return out;
  const Tables& t = tables();
  out.reserve(utf16.size() * 2);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      // A character beyond the basic plane has no GBK form: one "?" for the pair.
      out.push_back('?');
      ++i;
      continue;
    }
    uint16_t code = t.to_gbk[u];
    if (code == 0) {
      out.push_back('?');
    } else if (code < 0x100) {
      out.push_back(static_cast<char>(code));
    } else {
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return out;
}

#endif

std::u16string utf8_to_utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  auto cont = [&](size_t k) {
    return k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
  };
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    char32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
      cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
      cp = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = REPLACEMENT;
    } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      cp = ((b & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
           (s[i + 3] & 0x3F);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = REPLACEMENT;
    } else {
      cp = REPLACEMENT;
      len = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = REPLACEMENT;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string gbk_to_utf8(std::string_view gbk) { return utf16_to_utf8(gbk_to_utf16(gbk)); }

std::string utf8_to_gbk(std::string_view utf8) {
  // Invalid UTF-8 decodes to U+FFFD, which has no GBK form and so comes out as "?".
  return utf16_to_gbk(utf8_to_utf16(utf8));
}

}  // namespace corvane::platform
