// The commands that change the space's tree: rm, rmdir, mkdir, edit-dir, rename and
// edit-subdir. Each finds its row in the listing first, as a selection in the desktop
// client's list does, and builds the ids from that row.
#include "cli/cli.h"

namespace corvane::cli {

namespace {

constexpr const char* DELETE_DONE = "\xCE\xC4\xBC\xFE\xC9\xBE\xB3\xFD\xB3\xC9\xB9\xA6"; /* 文件删除成功 */
constexpr const char* DELETE_FAILED = "\xCE\xC4\xBC\xFE\xC9\xBE\xB3\xFD\xCA\xA7\xB0\xDC"; /* 文件删除失败 */
constexpr const char* CREATE_DONE = "\xC4\xBF\xC2\xBC\xB4\xB4\xBD\xA8\xB3\xC9\xB9\xA6"; /* 目录创建成功 */
constexpr const char* CREATE_FAILED = "\xC4\xBF\xC2\xBC\xB4\xB4\xBD\xA8\xCA\xA7\xB0\xDC"; /* 目录创建失败 */
constexpr const char* DIRECTORY_EDIT_DONE = "\xC4\xBF\xC2\xBC\xB1\xE0\xBC\xAD\xB3\xC9\xB9\xA6"; /* 目录编辑成功 */
constexpr const char* DIRECTORY_EDIT_FAILED = "\xC4\xBF\xC2\xBC\xB1\xE0\xBC\xAD\xCA\xA7\xB0\xDC"; /* 目录编辑失败 */
constexpr const char* FILE_EDIT_DONE = "\xCE\xC4\xBC\xFE\xB1\xE0\xBC\xAD\xB3\xC9\xB9\xA6"; /* 文件编辑成功 */
constexpr const char* FILE_EDIT_FAILED = "\xCE\xC4\xBC\xFE\xB1\xE0\xBC\xAD\xCA\xA7\xB0\xDC"; /* 文件编辑失败 */
constexpr const char* SUBDIRECTORY_EDIT_DONE =
    "\xD7\xD3\xC4\xBF\xC2\xBC\xB1\xE0\xBC\xAD\xB3\xC9\xB9\xA6"; /* 子目录编辑成功 */
constexpr const char* SUBDIRECTORY_EDIT_FAILED =
    "\xD7\xD3\xC4\xBF\xC2\xBC\xB1\xE0\xBC\xAD\xCA\xA7\xB0\xDC"; /* 子目录编辑失败 */
// What the desktop client's edit dialog preloads as the password of a protected
// directory; sent back unchanged it keeps the password the service has.
constexpr const char* PASSWORD_UNCHANGED = "~~~~~~";

int outcome(const Context& ctx, bool ok, const char* done, const char* failed) {
  return ok ? succeed(ctx, done) : fail_operation(ctx, failed);
}

// A name argument in GBK; false (after the message) when it is empty or has characters
// that GBK cannot write.
bool name_argument(const Context& ctx, const std::string& utf8, std::string& gbk, int& status) {
  if (utf8.empty()) {
    status = fail(ctx, EXIT_USAGE, "corvane-cli: a name may not be empty");
    return false;
  }
  if (!gbk_of_argument(utf8, gbk)) {
    status = fail(ctx, EXIT_USAGE, "corvane-cli: " + utf8 + " has characters without a GBK form");
    return false;
  }
  return true;
}

// The target directory of a move: --to, else the directory itself; it must be listed.
bool target_directory(const Context& ctx, const CommandArgs& a, const std::string& current,
                      const std::vector<DirectoryRow>& directories, std::string& target, int& status) {
  target = a.has("--to") ? a.values.at("--to") : current;
  if (find_directory(directories, target)) return true;
  status = fail(ctx, EXIT_REFUSED, "corvane-cli: no directory " + target + " to move to");
  return false;
}

}  // namespace

int command_rm(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {}, a) || a.positional.size() != 2 ||
      !parse_place(a.positional[0], place))
    return usage_error("rm");
  std::string name;
  int status = EXIT_OK;
  if (!name_argument(ctx, a.positional[1], name, status)) return status;
  if (int s = ensure_login(ctx)) return s;
  std::vector<ListingRow> rows;
  if (int s = read_place(ctx, place, rows)) return s;
  // A file before a sub-directory of the same name: the smaller loss if the name was
  // meant the other way.
  const ListingRow* row = find_row(rows, name, true);
  if (!row) row = find_row(rows, name);
  if (!row)
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no " + a.positional[1] + " in " + a.positional[0]);
  const std::string key = row->subdirectory ? "z_" + place.directory + "_" + name + "_i" : "w_" + row->id;
  return outcome(ctx, ctx.client->delete_file(key, place.directory), DELETE_DONE, DELETE_FAILED);
}

int command_rmdir(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {}, a) || a.positional.size() != 1 ||
      !parse_place(a.positional[0], place) || !place.subdirectory.empty())
    return usage_error("rmdir");
  if (int s = ensure_login(ctx)) return s;
  std::vector<DirectoryRow> directories;
  if (int s = read_directories(ctx, directories)) return s;
  if (!find_directory(directories, place.directory))
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no directory " + place.directory);
  return outcome(ctx, ctx.client->delete_directory(place.directory), DELETE_DONE, DELETE_FAILED);
}

int command_mkdir(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  if (!parse_command_args(args, {"--password"}, a) || a.positional.size() != 1) return usage_error("mkdir");
  std::string name, password;
  int status = EXIT_OK;
  if (!name_argument(ctx, a.positional[0], name, status)) return status;
  if (a.has("--password") && !gbk_of_argument(a.values["--password"], password))
    return fail(ctx, EXIT_USAGE, "corvane-cli: the password has characters without a GBK form");
  if (int s = ensure_login(ctx)) return s;
  return outcome(ctx, ctx.client->create_directory(name, password), CREATE_DONE, CREATE_FAILED);
}

int command_edit_dir(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {"--password"}, a) || a.positional.size() != 2 ||
      !parse_place(a.positional[0], place) || !place.subdirectory.empty())
    return usage_error("edit-dir");
  std::string name, password;
  int status = EXIT_OK;
  if (!name_argument(ctx, a.positional[1], name, status)) return status;
  if (a.has("--password") && !gbk_of_argument(a.values["--password"], password))
    return fail(ctx, EXIT_USAGE, "corvane-cli: the password has characters without a GBK form");
  if (int s = ensure_login(ctx)) return s;
  std::vector<DirectoryRow> directories;
  if (int s = read_directories(ctx, directories)) return s;
  const DirectoryRow* d = find_directory(directories, place.directory);
  if (!d) return fail(ctx, EXIT_REFUSED, "corvane-cli: no directory " + place.directory);
  // Without --password the directory keeps what it has, as when the dialog's password box
  // is left as it opened.
  if (!a.has("--password")) password = d->encrypted ? PASSWORD_UNCHANGED : "";
  return outcome(ctx, ctx.client->edit_directory(place.directory, name, password),
                 DIRECTORY_EDIT_DONE, DIRECTORY_EDIT_FAILED);
}

int command_rename(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {"--to"}, a) || a.positional.size() != 3 ||
      !parse_place(a.positional[0], place))
    return usage_error("rename");
  std::string name, new_name;
  int status = EXIT_OK;
  if (!name_argument(ctx, a.positional[1], name, status) ||
      !name_argument(ctx, a.positional[2], new_name, status))
    return status;
  if (int s = ensure_login(ctx)) return s;
  std::vector<ListingRow> rows;
  std::vector<DirectoryRow> directories;
  if (int s = read_place(ctx, place, rows, nullptr, &directories)) return s;
  const ListingRow* row = find_row(rows, name, true);
  if (!row) {
    const bool subdirectory = find_row(rows, name) != nullptr;
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no file " + a.positional[1] + " in " + a.positional[0] +
                                       (subdirectory ? " (a sub-directory: see edit-subdir)" : ""));
  }
  std::string target;
  if (!target_directory(ctx, a, place.directory, directories, target, status)) return status;
  return outcome(ctx, ctx.client->edit_file(row->id, place.directory, target, new_name),
                 FILE_EDIT_DONE, FILE_EDIT_FAILED);
}

int command_edit_subdir(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {"--to"}, a) || a.positional.size() != 3 ||
      !parse_place(a.positional[0], place) || !place.subdirectory.empty())
    return usage_error("edit-subdir");
  std::string name, new_name;
  int status = EXIT_OK;
  if (!name_argument(ctx, a.positional[1], name, status) ||
      !name_argument(ctx, a.positional[2], new_name, status))
    return status;
  if (int s = ensure_login(ctx)) return s;
  std::vector<ListingRow> rows;
  std::vector<DirectoryRow> directories;
  if (int s = read_place(ctx, place, rows, nullptr, &directories)) return s;
  const ListingRow* row = find_row(rows, name);
  if (!row || !row->subdirectory)
    return fail(ctx, EXIT_REFUSED,
                "corvane-cli: no sub-directory " + a.positional[1] + " in " + a.positional[0]);
  std::string target;
  if (!target_directory(ctx, a, place.directory, directories, target, status)) return status;
  return outcome(ctx, ctx.client->edit_subdirectory(place.directory, target, name, new_name),
                 SUBDIRECTORY_EDIT_DONE, SUBDIRECTORY_EDIT_FAILED);
}

}  // namespace corvane::cli
