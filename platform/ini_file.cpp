#include "platform/ini_file.h"

#include <mutex>
#include <optional>
#include <vector>

#include "platform/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvane::platform {

namespace {

std::size_t char_length(std::string_view text, std::size_t i) {
  unsigned char b = static_cast<unsigned char>(text[i]);
  return (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_quote(char c) { return c == '"' || c == '\''; }

std::string_view trim_blanks(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && is_blank(text[b])) ++b;
  while (e > b && is_blank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

// The longest prefix of at most limit bytes that does not end inside a character.
std::string_view cut_to(std::string_view text, std::size_t limit) {
  std::size_t end = 0;
  while (end < text.size()) {
    std::size_t next = end + char_length(text, end);
    if (next > limit) break;
    end = next;
  }
  return text.substr(0, end);
}

bool has_line_break(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

// Whether the names can stand in a file line and be found again: a line break, a "]"
// in a section name or a "=" in a key would change the meaning of the file.
bool writable_names(std::string_view section, std::string_view key) {
  return !section.empty() && !key.empty() && !has_line_break(section) && !has_line_break(key) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos;
}

// The text to put after "=" so that a reader gets value back unchanged.
std::string value_as_written(std::string_view value) {
  bool needs_quotes = !value.empty() && (is_blank(value.front()) || is_blank(value.back()) ||
                                         (value.size() >= 2 && is_quote(value.front()) &&
                                          value.back() == value.front()));
  if (!needs_quotes) return std::string(value);
  std::string out = "\"";
  out.append(value);
  out.push_back('"');
  return out;
}

#ifndef _WIN32

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare ignoring the case of ASCII letters, but a double-byte character (whose
// trail byte may look like a letter) compares exactly.
bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    if (char_length(a, i) == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
    } else {
      if (fold(a[i]) != fold(b[i])) return false;
      i += 1;
    }
  }
  return true;
}

// What a reader makes of the text after "=": blanks trimmed, then one pair of matching
// quotes removed.
std::string_view value_as_read(std::string_view raw) {
  std::string_view v = trim_blanks(raw);
  if (v.size() >= 2 && is_quote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

// One line of a profile file: its text without the line end, and the line end itself
// ("\r\n", "\n" or "" for a last line without one).
struct Line {
  std::string_view text;
  std::string_view end;
};

std::vector<Line> split_lines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t i = 0;
  while (i < content.size()) {
    std::size_t lf = content.find('\n', i);
    if (lf == std::string_view::npos) {
      lines.push_back({content.substr(i), {}});
      break;
    }
    std::size_t text_end = (lf > i && content[lf - 1] == '\r') ? lf - 1 : lf;
    lines.push_back({content.substr(i, text_end - i), content.substr(text_end, lf + 1 - text_end)});
    i = lf + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> section_of(std::string_view line) {
  std::string_view t = trim_blanks(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim_blanks(t.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view raw_value;
};

// The key and the raw value of a "key=value" line, or nothing for a line without "=".
std::optional<KeyLine> key_of(std::string_view line) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{trim_blanks(line.substr(0, eq)), line.substr(eq + 1)};
}

// Where a key stands in a file: the line of the section header, the line of the key,
// and the last non-blank line of the section (after which a new key goes).
struct Location {
  std::optional<std::size_t> section;
  std::optional<std::size_t> key;
  std::size_t last_line = 0;
};

Location locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  Location at;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = section_of(lines[i].text)) {
      if (at.section) break;  // the next section ends ours
      if (same_name(*name, section)) {
        at.section = i;
        at.last_line = i;
      }
      continue;
    }
    if (!at.section) continue;
    if (!trim_blanks(lines[i].text).empty()) at.last_line = i;
    if (at.key) continue;
    if (auto k = key_of(lines[i].text); k && same_name(k->key, key)) at.key = i;
  }
  return at;
}

enum class FileState { missing, unusable, loaded };

// Reads the whole file when it is a regular file of our own. A symbolic link, someone
// else's file or an unreadable one is unusable: we neither trust its values nor rewrite it.
FileState load_file(const std::string& native, std::string& content) {
  int fd = ::open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileState::missing : FileState::unusable;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return FileState::unusable;
  }
  content.clear();
  char buffer[8192];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return FileState::unusable;
    }
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return FileState::loaded;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Puts content in place of the file at native: a new owner-only file next to it,
// renamed over the old one, so readers see the old or the new file whole and a file
// that someone else placed there is never written through.
bool replace_file(const std::filesystem::path& native, std::string_view content) {
  std::filesystem::path dir = native.parent_path();
  std::string pattern = ((dir.empty() ? std::filesystem::path(".") : dir) /
                         ("." + native.filename().string() + ".XXXXXX"))
                            .string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && write_all(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(pattern.c_str(), native.c_str()) == 0;
  if (!ok) ::unlink(pattern.c_str());
  return ok;
}

// Writers of the same process take turns, so two read-modify-write passes cannot lose
// each other's change.
std::mutex& write_mutex() {
  static std::mutex m;
  return m;
}

#endif

}  // namespace

#ifdef _WIN32

std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  std::string p(path), s(trim_blanks(section)), k(trim_blanks(key));
  if (s.empty() || k.empty()) return {};
  std::vector<char> buffer(buffer_size + 1, '\0');
  DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), "", buffer.data(),
                                     static_cast<DWORD>(buffer_size), p.c_str());
  return std::string(cut_to(std::string_view(buffer.data(), n), buffer_size - 1));
}

bool write_profile_string(std::string_view path, std::string_view section,
                          std::string_view key, std::string_view value) {
  std::string s(trim_blanks(section)), k(trim_blanks(key));
  if (!writable_names(s, k) || has_line_break(value)) return false;
  std::string p(path), v = value_as_written(value);
  return WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), p.c_str()) != 0;
}

#else

std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  std::string_view s = trim_blanks(section), k = trim_blanks(key);
  if (s.empty() || k.empty()) return {};
  std::string content;
  if (load_file(native_path(path).string(), content) != FileState::loaded) return {};
  std::vector<Line> lines = split_lines(content);
  Location at = locate(lines, s, k);
  if (!at.key) return {};
  std::string_view value = value_as_read(key_of(lines[*at.key].text)->raw_value);
  return std::string(cut_to(value, buffer_size - 1));
}

bool write_profile_string(std::string_view path, std::string_view section,
                          std::string_view key, std::string_view value) {
  std::string_view s = trim_blanks(section), k = trim_blanks(key);
  if (!writable_names(s, k) || has_line_break(value)) return false;
  std::filesystem::path native = native_path(path);
  std::string entry(k);
  entry += '=';
  entry += value_as_written(value);
  entry += "\r\n";

  std::lock_guard lock(write_mutex());
  std::string content;
  if (load_file(native.string(), content) == FileState::unusable) return false;
  std::vector<Line> lines = split_lines(content);
  Location at = locate(lines, s, k);

  const bool insert_key = at.section && !at.key;
  std::string out;
  out.reserve(content.size() + entry.size() + s.size() + 8);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (at.key && i == *at.key) {
      out.append(entry);
      continue;
    }
    const bool key_goes_here = insert_key && i == at.last_line;
    out.append(lines[i].text);
    // Only the last line can lack a line end; it gets one when something follows it.
    if (lines[i].end.empty() && (key_goes_here || !at.section))
      out.append("\r\n");
    else
      out.append(lines[i].end);
    if (key_goes_here) out.append(entry);
  }
  if (!at.section) {
    out += '[';
    out.append(s);
    out += "]\r\n";
    out.append(entry);
  }
  return replace_file(native, out);
}

#endif

}  // namespace corvane::platform
