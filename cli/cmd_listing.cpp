// dirs and ls, and the listing helpers the other commands find their rows with.
#include <algorithm>

#include "cli/cli.h"
#include "text/gbk_text.h"

namespace corvane::cli {

namespace {

// Directory listing keys are number + "_" + password flag; a flag of 1 or more marks a
// directory with an access password.
DirectoryRow directory_row(const std::string& key, const std::string& name) {
  DirectoryRow row;
  row.key = key;
  row.name = name;
  row.number = text_before(key, "_");
  row.encrypted = to_integer(text_after_last(key, "_")) >= 1;
  return row;
}

// One file entry of a sub-directory: element id|address|time|name|sizeKB. A name that
// holds "|" itself spreads over several fields; the size is always the last one.
bool subdirectory_entry(const std::string& entry, ListingRow& row) {
  TextList fields = split(entry, "|");
  if (fields.size() < 5) return false;
  row.id = text_after_last(fields[0], "_");
  row.address = fields[1];
  row.time = fields[2];
  row.size = fields.back();
  row.name = join(TextList(fields.begin() + 3, fields.end() - 1), "|");
  return true;
}

}  // namespace

bool parse_place(const std::string& utf8, Place& place) {
  const auto slash = utf8.find('/');
  place.directory = utf8.substr(0, slash);
  place.subdirectory.clear();
  if (place.directory.empty()) return false;
  for (char c : place.directory)
    if (c < '0' || c > '9') return false;
  if (slash == std::string::npos) return true;
  std::string sub = utf8.substr(slash + 1);
  if (!sub.empty() && sub.back() == '/') sub.pop_back();
  if (sub.empty()) return true;
  return gbk_of_argument(sub, place.subdirectory);
}

int read_directories(Context& ctx, std::vector<DirectoryRow>& rows) {
  rows.clear();
  TextList keys, names;
  const int n = ctx.client->list_directories(keys, names);
  for (int i = 0; i < n && i < static_cast<int>(keys.size()) && i < static_cast<int>(names.size()); ++i)
    rows.push_back(directory_row(keys[static_cast<std::size_t>(i)], names[static_cast<std::size_t>(i)]));
  // A space without directories and a service that did not answer look alike.
  if (rows.empty() && !service_answers(ctx))
    return fail(ctx, EXIT_NETWORK, "corvane-cli: no answer from the service");
  return EXIT_OK;
}

const DirectoryRow* find_directory(const std::vector<DirectoryRow>& rows,
                                   const std::string& number) {
  for (const auto& r : rows)
    if (r.number == number) return &r;
  return nullptr;
}

int read_place(Context& ctx, const Place& place, std::vector<ListingRow>& rows,
               std::string* upload_code, std::vector<DirectoryRow>* directories) {
  rows.clear();
  std::vector<DirectoryRow> own;
  std::vector<DirectoryRow>& dirs = directories ? *directories : own;
  if (int s = read_directories(ctx, dirs)) return s;
  if (!find_directory(dirs, place.directory))
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no directory " + place.directory +
                                       " (the numbers are those that dirs shows)");

  TextList ids, addresses, times, names, sizes, subdirectory_files;
  std::string code;
  const int n = ctx.client->list_files(place.directory, ids, addresses, times, names, sizes,
                                       subdirectory_files, code);
  if (n == -1)
    return fail(ctx, EXIT_REFUSED, to_terminal("\xB7\xC3\xCE\xCA\xC3\xDC\xC2\xEB\xB4\xED\xCE\xF3" /* 访问密码错误 */));
  if (n == -2)
    return fail(ctx, EXIT_REFUSED, to_terminal("\xB2\xD9\xD7\xF7\xD2\xD1\xC8\xA1\xCF\xFB" /* 操作已取消 */));
  if (n == 0 && !service_answers(ctx))
    return fail(ctx, EXIT_NETWORK, "corvane-cli: no answer from the service");
  ctx.state.set_current_directory(place.directory);
  ctx.state.set_directory_upload_code(code);
  ctx.state.set_subdirectory_files(subdirectory_files);
  if (upload_code) *upload_code = code;

  const std::size_t count = std::min({static_cast<std::size_t>(n), ids.size(), addresses.size(),
                                      times.size(), names.size(), sizes.size()});
  // Sub-directory rows come first, one per sub-directory text.
  const std::size_t subdirectories = std::min(count, subdirectory_files.size());
  if (place.subdirectory.empty()) {
    for (std::size_t i = 0; i < count; ++i)
      rows.push_back({i < subdirectories, ids[i], addresses[i], times[i], names[i], sizes[i]});
    return EXIT_OK;
  }
  for (std::size_t i = 0; i < subdirectories; ++i) {
    if (names[i] != place.subdirectory) continue;
    TextList entries = split(subdirectory_files[i], "=|=");
    if (!entries.empty() && entries.back().empty()) entries.pop_back();
    for (const auto& entry : entries) {
      ListingRow row;
      if (subdirectory_entry(entry, row)) rows.push_back(row);
    }
    return EXIT_OK;
  }
  return fail(ctx, EXIT_REFUSED, "corvane-cli: no sub-directory " + to_terminal(place.subdirectory) +
                                     " in directory " + place.directory);
}

const ListingRow* find_row(const std::vector<ListingRow>& rows, const std::string& name,
                           bool files_only) {
  for (const auto& r : rows)
    if (r.name == name && (!files_only || !r.subdirectory)) return &r;
  return nullptr;
}

int command_dirs(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("dirs");
  if (int s = ensure_login(ctx)) return s;
  std::vector<DirectoryRow> rows;
  if (int s = read_directories(ctx, rows)) return s;
  Json document = Json::array();
  std::string text;
  for (const auto& r : rows) {
    document.push_back({{"number", to_terminal(r.number)},
                        {"name", to_terminal(r.name)},
                        {"encrypted", r.encrypted},
                        {"key", to_terminal(r.key)}});
    text += to_terminal(r.number) + "\t" +
            (r.encrypted ? to_terminal("\xBC\xD3\xC3\xDC\xCE\xC4\xBC\xFE\xBC\xD0" /* 加密文件夹 */) : "-") +
            "\t" + to_terminal(r.name) + "\n";
  }
  emit(ctx, document, text);
  return EXIT_OK;
}

int command_ls(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {}, a) || a.positional.size() != 1 ||
      !parse_place(a.positional[0], place))
    return usage_error("ls");
  if (int s = ensure_login(ctx)) return s;
  std::vector<ListingRow> rows;
  if (int s = read_place(ctx, place, rows)) return s;
  Json document = Json::array();
  std::string text;
  for (const auto& r : rows) {
    document.push_back({{"kind", r.subdirectory ? "subdirectory" : "file"},
                        {"id", to_terminal(r.id)},
                        {"address", to_terminal(r.address)},
                        {"time", to_terminal(r.time)},
                        {"name", to_terminal(r.name)},
                        {"size", to_terminal(r.size)}});
    text += std::string(r.subdirectory ? "dir" : "file") + "\t" + to_terminal(r.size) + "\t" +
            to_terminal(r.time) + "\t" + to_terminal(r.id) + "\t" + to_terminal(r.name) + "\n";
  }
  emit(ctx, document, text);
  return EXIT_OK;
}

}  // namespace corvane::cli
