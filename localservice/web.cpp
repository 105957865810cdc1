#include "localservice/web.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "platform/codepage.h"

namespace corvane::local {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string random_from(std::string_view alphabet, std::size_t n) {
  static thread_local std::mt19937_64 generator{[] {
    std::random_device device;
    std::seed_seq seq{device(), device(), device(), device(), device(), device()};
    return std::mt19937_64(seq);
  }()};
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += alphabet[pick(generator)];
  return out;
}

}  // namespace

std::string form_decode(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < value.size() &&
               hex_value(value[i + 1]) >= 0 && hex_value(value[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(value[i + 1]) * 16 + hex_value(value[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::map<std::string, std::string>> ordered_form(
    std::string_view body, const std::vector<std::string>& names) {
  std::map<std::string, std::string> fields;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string head = (i ? "&" : "") + names[i] + "=";
    if (body.compare(pos, head.size(), head) != 0) return std::nullopt;
    pos += head.size();
    std::size_t end = body.size();
    if (i + 1 < names.size()) {
      end = body.find("&" + names[i + 1] + "=", pos);
      if (end == std::string_view::npos) return std::nullopt;
    }
    fields[names[i]] = form_decode(body.substr(pos, end - pos));
    pos = end;
  }
  return fields;
}

std::map<std::string, std::string> raw_query(std::string_view query) {
  std::map<std::string, std::string> out;
  std::size_t pos = 0;
  while (pos <= query.size()) {
    std::size_t end = query.find('&', pos);
    if (end == std::string_view::npos) end = query.size();
    std::string_view pair = query.substr(pos, end - pos);
    if (!pair.empty()) {
      std::size_t eq = pair.find('=');
      std::string key(pair.substr(0, eq));
      if (!out.count(key))
        out[key] = eq == std::string_view::npos ? std::string() : std::string(pair.substr(eq + 1));
    }
    pos = end + 1;
  }
  return out;
}

std::optional<std::string> script_unescape(std::string_view escaped) {
  std::u16string units;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    char c = escaped[i];
    if (c != '%') {
      if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
      units += static_cast<char16_t>(c);
      continue;
    }
    if (i + 5 < escaped.size() && (escaped[i + 1] == 'u' || escaped[i + 1] == 'U')) {
      int v = 0;
      for (int k = 2; k < 6; ++k) {
        int h = hex_value(escaped[i + k]);
        if (h < 0) return std::nullopt;
        v = v * 16 + h;
      }
      units += static_cast<char16_t>(v);
      i += 5;
      continue;
    }
    if (i + 2 >= escaped.size() || hex_value(escaped[i + 1]) < 0 || hex_value(escaped[i + 2]) < 0)
      return std::nullopt;
    units += static_cast<char16_t>(hex_value(escaped[i + 1]) * 16 + hex_value(escaped[i + 2]));
    i += 2;
  }
  return platform::utf16_to_gbk(units);
}

std::string percent_encode(std::string_view bytes) {
  static const char* HEX = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' ||
        b == '.' || b == '_') {
      out += static_cast<char>(b);
    } else {
      out += '%';
      out += HEX[b >> 4];
      out += HEX[b & 15];
    }
  }
  return out;
}

bool valid_name(std::string_view name) {
  if (name.empty() || name.size() > 100) return false;
  if (name.front() == ' ' || name.back() == ' ') return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    if (b >= 0x81 && b <= 0xFE) {
      if (i + 1 >= name.size()) return false;
      unsigned char t = static_cast<unsigned char>(name[i + 1]);
      if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F || b == 0x80 || b == 0xFF) return false;
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(b)) != std::string_view::npos)
      return false;
  }
  return true;
}

std::string random_token(std::size_t n) {
  return random_from("0123456789abcdefghijklmnopqrstuvwxyz", n);
}

std::string random_view_state(std::size_t n) {
  return random_from("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/", n);
}

std::string format_time(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buffer;
}

namespace {

// The value of a parameter such as boundary=... or name="..." in a header value.
std::string header_parameter(std::string_view value, std::string_view name) {
  std::size_t pos = 0;
  while ((pos = value.find(name, pos)) != std::string_view::npos) {
    bool starts = pos == 0 || value[pos - 1] == ' ' || value[pos - 1] == ';' || value[pos - 1] == '\t';
    std::size_t eq = pos + name.size();
    if (!starts || eq >= value.size() || value[eq] != '=') {
      pos = eq;
      continue;
    }
    std::size_t start = eq + 1;
    if (start < value.size() && value[start] == '"') {
      std::size_t end = value.find('"', start + 1);
      if (end == std::string_view::npos) return {};
      return std::string(value.substr(start + 1, end - start - 1));
    }
    std::size_t end = value.find(';', start);
    std::string_view v = value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return std::string(v);
  }
  return {};
}

}  // namespace

std::optional<UploadPart> parse_upload_body(std::string_view body, std::string_view content_type) {
  if (!starts_with_ci(content_type, "multipart/form-data")) return std::nullopt;
  const std::string boundary = header_parameter(content_type, "boundary");
  if (boundary.empty() || boundary.size() > 200) return std::nullopt;
  const std::string delimiter = "--" + boundary;
  const std::string next = "\r\n" + delimiter;
  std::size_t pos = 0;
  if (body.compare(0, delimiter.size(), delimiter) != 0) return std::nullopt;
  while (true) {
    pos += delimiter.size();
    if (body.compare(pos, 2, "\r\n") != 0) return std::nullopt;  // "--" ends the body
    pos += 2;
    std::size_t head_end = body.find("\r\n\r\n", pos);
    if (head_end == std::string_view::npos) return std::nullopt;
    std::string_view head = body.substr(pos, head_end - pos);
    std::size_t content_start = head_end + 4;
    // The client's form ends with a fixed tail after the file: the closing delimiter,
    // then a last part. Found there, it marks the end of the file exactly, whatever
    // the file holds; otherwise the first delimiter line ends the part.
    const std::string tail = next + "--\r\nContent-Disposition: form-data; name=\"Upload\"\r\n\r\n"
                             "Submit Query\r\n" + delimiter + "--";
    std::size_t content_end = std::string_view::npos;
    if (pos == delimiter.size() + 2 && body.size() >= content_start + tail.size() &&
        body.compare(body.size() - tail.size(), tail.size(), tail) == 0)
      content_end = body.size() - tail.size();
    else
      content_end = body.find(next, content_start);
    if (content_end == std::string_view::npos) return std::nullopt;
    std::string disposition;
    std::size_t line_start = 0;
    while (line_start <= head.size()) {
      std::size_t line_end = head.find("\r\n", line_start);
      if (line_end == std::string_view::npos) line_end = head.size();
      std::string_view line = head.substr(line_start, line_end - line_start);
      if (starts_with_ci(line, "content-disposition:")) disposition = std::string(line.substr(20));
      line_start = line_end + 2;
    }
    const bool has_filename = disposition.find("filename=") != std::string::npos;
    if (has_filename || header_parameter(disposition, "name") == "f") {
      return UploadPart{header_parameter(disposition, "filename"),
                        body.substr(content_start, content_end - content_start)};
    }
    pos = content_end + 2;
  }
}

std::optional<int64_t> parse_id(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string format_fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

int64_t size_in_kb(int64_t bytes) { return bytes <= 0 ? 0 : (bytes + 1023) / 1024; }

std::string host_name(std::string_view host) {
  std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) host = host.substr(0, colon);
  std::string out(host);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  while (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

std::string cookie_value(std::string_view header, std::string_view name) {
  std::size_t pos = 0;
  while (pos < header.size()) {
    std::size_t end = header.find(';', pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(pos, end - pos);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name)
      return std::string(pair.substr(eq + 1));
    pos = end + 1;
  }
  return {};
}

bool starts_with_ci(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string html_escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace corvane::local
