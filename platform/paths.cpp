#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane::platform {

namespace {

// The Windows ANSI code page 936 step: a lead byte followed by another byte makes one
// character; a lead byte at the very end stands alone.
std::size_t char_length(std::string_view text, std::size_t i) {
  unsigned char b = static_cast<unsigned char>(text[i]);
  return (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

// The shell routines work on zero-terminated texts: nothing after a zero byte counts.
std::string_view up_to_zero(std::string_view text) { return text.substr(0, text.find('\0')); }

bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string temp_directory() {
#ifdef _WIN32
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  std::string dir = (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
  if (dir.empty() || dir.back() != '\\') dir.push_back('\\');
  return dir;
#else
  std::string dir = "/tmp";
  const char* env = std::getenv("TMPDIR");
  if (env && *env) {
    // A directory whose name has no GBK form cannot be reached through a GBK path; the
    // settings would silently go nowhere, so use the system default instead.
    std::string gbk = utf8_to_gbk(env);
    if (gbk_to_utf8(gbk) == env) dir = gbk;
  }
  if (dir.back() != '/') dir.push_back('/');
  return dir;
#endif
}

std::string path_find_extension(std::string_view path) {
  std::string_view text = up_to_zero(path);
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += char_length(text, i)) {
    char c = text[i];
    if (is_separator(c) || c == ' ')
      dot = std::string_view::npos;
    else if (c == '.')
      dot = i;
  }
  return dot == std::string_view::npos ? std::string() : std::string(text.substr(dot));
}

std::string path_find_file_name(std::string_view path) {
  std::string_view text = up_to_zero(path);
  std::size_t name = 0;
  for (std::size_t i = 0; i < text.size(); i += char_length(text, i)) {
    char c = text[i];
    if ((is_separator(c) || c == ':') && i + 1 < text.size() && !is_separator(text[i + 1]))
      name = i + 1;
  }
  return std::string(text.substr(name));
}

bool path_is_directory(std::string_view gbk_path) {
  if (up_to_zero(gbk_path).empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(native_path(up_to_zero(gbk_path)), ec);
}

std::filesystem::path native_path(std::string_view gbk_path) {
#ifdef _WIN32
  std::u16string wide = gbk_to_utf16(gbk_path);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(gbk_to_utf8(gbk_path));
#endif
}

std::string gbk_from_native(const std::filesystem::path& path) {
#ifdef _WIN32
  std::wstring wide = path.native();
  return utf16_to_gbk(std::u16string(wide.begin(), wide.end()));
#else
  return utf8_to_gbk(path.native());
#endif
}

}  // namespace corvane::platform
