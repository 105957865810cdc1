// Compiles a skin source (UTF-8 text with [colours], [palette] and [style] sections)
// into ".SHE" skin data for the engine:
//   she_compile SOURCE OUTPUT [--password TEXT]
// Colour names in the style are written @name; the style text goes out in GBK.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"

extern "C" {
#include "skin/engine/she_format.h"
}

namespace {

struct Colour {
  std::uint32_t rgb = 0;
  bool fixed = false;
};

const std::map<std::string, int>& palette_roles() {
  // The numbering of the GUI toolkit's palette roles.
  static const std::map<std::string, int> roles = {
      {"WindowText", 0},  {"Button", 1},           {"Light", 2},        {"Midlight", 3},
      {"Dark", 4},        {"Mid", 5},              {"Text", 6},         {"BrightText", 7},
      {"ButtonText", 8},  {"Base", 9},             {"Window", 10},      {"Shadow", 11},
      {"Highlight", 12},  {"HighlightedText", 13}, {"Link", 14},        {"LinkVisited", 15},
      {"AlternateBase", 16}, {"ToolTipBase", 18},  {"ToolTipText", 19}, {"PlaceholderText", 20}};
  return roles;
}

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool is_name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::uint32_t fnv1a(const std::string& bytes) {
  std::uint32_t h = SHE_FNV_OFFSET;
  for (unsigned char c : bytes) h = (h ^ c) * SHE_FNV_PRIME;
  return h;
}

void put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::size_t at, std::uint32_t v) {
  put16(s, at, v & 0xFFFF);
  put16(s, at + 2, v >> 16);
}

int fail(int line, const std::string& message) {
  std::cerr << "she_compile: line " << line << ": " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--password")) {
    std::cerr << "usage: she_compile SOURCE OUTPUT [--password TEXT]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "she_compile: cannot read " << argv[1] << "\n";
    return 1;
  }

  std::vector<std::string> colour_names;
  std::map<std::string, std::size_t> colour_index;
  std::vector<Colour> colours;
  std::string palette;  // encoded entries
  std::size_t palette_count = 0;
  std::string style;    // encoded template
  std::string section;
  std::string line;
  int number = 0;

  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string text = trim(line);
    if (section != "style" || text.starts_with("[")) {
      if (text.empty() || text[0] == '#') continue;
      if (text.front() == '[' && text.back() == ']') {
        section = text.substr(1, text.size() - 2);
        if (section != "colours" && section != "palette" && section != "style")
          return fail(number, "unknown section " + section);
        continue;
      }
    }
    if (section == "colours" || section == "palette") {
      const auto eq = text.find('=');
      if (eq == std::string::npos) return fail(number, "expected name = value");
      const std::string key = trim(text.substr(0, eq));
      std::istringstream value(text.substr(eq + 1));
      std::string first, flag;
      value >> first >> flag;
      if (section == "colours") {
        if (colour_index.count(key)) return fail(number, "colour " + key + " defined twice");
        if (first.size() != 7 || first[0] != '#') return fail(number, "colour must be #rrggbb");
        Colour c;
        c.rgb = static_cast<std::uint32_t>(std::stoul(first.substr(1), nullptr, 16));
        if (flag == "fixed") c.fixed = true;
        else if (!flag.empty()) return fail(number, "unknown flag " + flag);
        if (colours.size() >= SHE_MAX_COLOURS) return fail(number, "too many colours");
        colour_index[key] = colours.size();
        colour_names.push_back(key);
        colours.push_back(c);
      } else {
        int group = SHE_GROUP_ALL;
        std::string role = key;
        if (const auto dot = key.find('.'); dot != std::string::npos) {
          const std::string g = key.substr(0, dot);
          role = key.substr(dot + 1);
          if (g == "Active") group = SHE_GROUP_ACTIVE;
          else if (g == "Disabled") group = SHE_GROUP_DISABLED;
          else if (g == "Inactive") group = SHE_GROUP_INACTIVE;
          else return fail(number, "unknown colour group " + g);
        }
        const auto r = palette_roles().find(role);
        if (r == palette_roles().end()) return fail(number, "unknown palette role " + role);
        const auto c = colour_index.find(first);
        if (c == colour_index.end()) return fail(number, "unknown colour " + first);
        palette += static_cast<char>(r->second);
        palette += static_cast<char>(group);
        palette += static_cast<char>(c->second);
        palette += '\0';
        ++palette_count;
      }
    } else if (section == "style") {
      // Text pieces go to GBK one by one; the colour marks between them are not text.
      std::string piece;
      for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '@' && i + 1 < line.size() && is_name_char(line[i + 1])) {
          std::size_t end = i + 1;
          while (end < line.size() && is_name_char(line[end])) ++end;
          const std::string name = line.substr(i + 1, end - i - 1);
          const auto c = colour_index.find(name);
          if (c == colour_index.end()) return fail(number, "unknown colour @" + name);
          style += corvane::platform::utf8_to_gbk(piece);
          piece.clear();
          style += static_cast<char>(SHE_COLOUR_MARK);
          style += static_cast<char>(c->second + 1);
          i = end;
        } else {
          piece += line[i++];
        }
      }
      style += corvane::platform::utf8_to_gbk(piece);
      style += '\n';
    } else {
      return fail(number, "text outside a section");
    }
  }
  if (colours.empty() || style.empty()) return fail(number, "no colours or no style");

  std::string body;
  for (const auto& c : colours) {
    body += static_cast<char>((c.rgb >> 16) & 0xFF);
    body += static_cast<char>((c.rgb >> 8) & 0xFF);
    body += static_cast<char>(c.rgb & 0xFF);
    body += static_cast<char>(c.fixed ? SHE_COLOUR_FIXED : 0);
  }
  body += palette;
  body += style;

  std::string header(SHE_HEADER_SIZE, '\0');
  header[0] = SHE_MAGIC_0;
  header[1] = SHE_MAGIC_1;
  header[2] = SHE_MAGIC_2;
  header[3] = SHE_MAGIC_3;
  put16(header, SHE_AT_VERSION, SHE_VERSION);
  put16(header, SHE_AT_HEADER_SIZE, SHE_HEADER_SIZE);
  put32(header, SHE_AT_FILE_SIZE, static_cast<std::uint32_t>(SHE_HEADER_SIZE + body.size()));
  put32(header, SHE_AT_CHECKSUM, fnv1a(body));
  if (argc == 5) {
    // 0 means "no password", so a password with that hash cannot be used.
    const std::uint32_t hash = fnv1a(corvane::platform::utf8_to_gbk(argv[4]));
    if (hash == 0) return fail(0, "this password cannot be used, choose another");
    put32(header, SHE_AT_PASSWORD, hash);
  }
  put16(header, SHE_AT_COLOUR_COUNT, static_cast<std::uint32_t>(colours.size()));
  put16(header, SHE_AT_PALETTE_COUNT, static_cast<std::uint32_t>(palette_count));
  put32(header, SHE_AT_TEMPLATE_SIZE, static_cast<std::uint32_t>(style.size()));

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << header << body;
  if (!out) {
    std::cerr << "she_compile: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
