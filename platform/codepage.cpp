#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <iconv.h>
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

// iconv descriptors are not thread-safe; each thread keeps its own pair.
struct Converters {
  iconv_t to_utf16 = reinterpret_cast<iconv_t>(-1);
  iconv_t to_gbk = reinterpret_cast<iconv_t>(-1);
  Converters() {
    to_utf16 = iconv_open("UTF-16LE", "CP936");
    to_gbk = iconv_open("CP936", "UTF-16LE");
  }
  ~Converters() {
    if (to_utf16 != reinterpret_cast<iconv_t>(-1)) iconv_close(to_utf16);
    if (to_gbk != reinterpret_cast<iconv_t>(-1)) iconv_close(to_gbk);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;
};

Converters& converters() {
  thread_local Converters c;
  return c;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
  std::u16string out;
  if (gbk.empty()) return out;
  iconv_t cd = converters().to_utf16;
  out.reserve(gbk.size());
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(gbk.data());
  size_t in_left = gbk.size();
  char16_t buffer[4096];
  while (in_left > 0) {
    char* dst = reinterpret_cast<char*>(buffer);
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
    size_t produced = (sizeof buffer - dst_left) / sizeof(char16_t);
    out.append(buffer, produced);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: one bad byte becomes one replacement character.
      out.push_back(REPLACEMENT);
      ++in;
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

std::string utf16_to_gbk(std::u16string_view utf16) {
  std::string out;
  if (utf16.empty()) return out;
  iconv_t cd = converters().to_gbk;
  out.reserve(utf16.size() * 2);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(utf16.data()));
  size_t in_left = utf16.size() * sizeof(char16_t);
  char buffer[8192];
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, sizeof buffer - dst_left);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // Unmappable character, lone surrogate or truncated pair: one "?" for it.
      char16_t unit;
      std::memcpy(&unit, in, sizeof unit);
      size_t skip = sizeof(char16_t);
      if (unit >= 0xD800 && unit <= 0xDBFF && in_left >= 2 * sizeof(char16_t)) {
        char16_t next;
        std::memcpy(&next, in + sizeof(char16_t), sizeof next);
        if (next >= 0xDC00 && next <= 0xDFFF) skip = 2 * sizeof(char16_t);
      }
      if (in_left < sizeof(char16_t)) skip = in_left;
      out.push_back('?');
      in += skip;
      in_left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
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
