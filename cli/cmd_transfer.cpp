// get and put: files out of and into the space, with a progress bar on a terminal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>

#include "cli/cli.h"
#include "http/transfer_client.h"
#include "platform/paths.h"
#include "text/gbk_text.h"

namespace corvane::cli {

namespace {

constexpr const char* UPLOAD_TOO_LARGE =
    "\xC9\xCF\xB4\xAB\xCE\xC4\xBC\xFE\xB9\xFD\xB4\xF3\xA3\xAC\xCF\xDE\xD6\xC6"
    "15MB\xC4\xDA"; /* 上传文件过大，限制15MB内 */
constexpr const char* UPLOAD_DONE = "\xCE\xC4\xBC\xFE\xC9\xCF\xB4\xAB\xCD\xEA\xB3\xC9"; /* 文件上传完成 */
constexpr const char* UPLOAD_FAILED = "\xCE\xC4\xBC\xFE\xC9\xCF\xB4\xAB\xCA\xA7\xB0\xDC"; /* 文件上传失败 */
constexpr const char* DOWNLOAD_DONE = "\xCE\xC4\xBC\xFE\xCF\xC2\xD4\xD8\xCD\xEA\xB3\xC9"; /* 文件下载完成 */

// The desktop client refuses larger files before it starts a task; the service refuses
// them too, but only after the whole body went over the wire.
constexpr std::uintmax_t UPLOAD_LIMIT_BYTES = 15 * 1024 * 1024;

std::string human_bytes(double bytes) {
  char buf[32];
  if (bytes >= 1024.0 * 1024.0)
    std::snprintf(buf, sizeof buf, "%.1f MB", bytes / (1024.0 * 1024.0));
  else if (bytes >= 1024.0)
    std::snprintf(buf, sizeof buf, "%.1f KB", bytes / 1024.0);
  else
    std::snprintf(buf, sizeof buf, "%.0f B", bytes);
  return buf;
}

// The status of an answer's header block: the number after the first blank of its
// status line; 0 when there is none.
int status_code(const std::string& header_block) {
  const std::size_t blank = header_block.find(' ');
  if (header_block.rfind("HTTP/", 0) != 0 || blank == std::string::npos) return 0;
  return static_cast<int>(to_integer(std::string_view(header_block).substr(blank + 1, 3)));
}

// Writes bytes to a temporary file beside target and renames it into place, so that a
// failure leaves an existing file of that name as it was.
bool write_whole(const std::filesystem::path& target, const std::string& bytes) {
  std::filesystem::path temp = target;
  temp += ".corvane-part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

}  // namespace

struct ProgressBar::State {
  std::string label;
  bool enabled = false;
  std::mutex mutex;
  bool drawn = false;
  std::chrono::steady_clock::time_point last_draw{};
  int last_permille = -1;
  std::int64_t total = 0;
  std::chrono::steady_clock::time_point start{};  // when the transfer began, by the monitor
};

ProgressBar::ProgressBar(std::string utf8_label) : state_(std::make_shared<State>()) {
  state_->label = std::move(utf8_label);
  state_->enabled = isatty(STDERR_FILENO) == 1;
}

ProgressBar::~ProgressBar() { finish(false); }

namespace {

void draw(ProgressBar::State& s, std::int64_t total, std::int64_t done, std::int64_t elapsed) {
  constexpr int WIDTH = 30;
  const int permille = static_cast<int>(std::min(done, total) * 1000 / total);
  const int filled = permille * WIDTH / 1000;
  const double speed =
      elapsed > 0 ? static_cast<double>(done) * 1000.0 / static_cast<double>(elapsed) : 0.0;
  char line[96];
  std::snprintf(line, sizeof line, " %5.1f%% [%s%s] %s/s", permille / 10.0,
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(WIDTH - filled), ' ').c_str(),
                human_bytes(speed).c_str());
  std::cerr << "\r" << s.label << line << "\x1b[K" << std::flush;
  s.drawn = true;
  s.last_permille = permille;
}

}  // namespace

TransferProgressCallback ProgressBar::callback() {
  if (!state_->enabled) return nullptr;
  std::shared_ptr<State> s = state_;
  return [s](std::int32_t, std::int64_t& total, std::int64_t& done, std::int64_t& elapsed) {
    if (total <= 0 || done < 0) return;
    std::lock_guard lock(s->mutex);
    const auto now = std::chrono::steady_clock::now();
    if (s->total == 0) s->start = now - std::chrono::milliseconds(elapsed);
    s->total = total;
    const int permille = static_cast<int>(std::min(done, total) * 1000 / total);
    // The monitor calls every few milliseconds; redraw when something visible changed.
    if (permille == s->last_permille ||
        (permille < 1000 && now - s->last_draw < std::chrono::milliseconds(100)))
      return;
    s->last_draw = now;
    draw(*s, total, done, elapsed);
  };
}

void ProgressBar::finish(bool complete) {
  std::lock_guard lock(state_->mutex);
  if (!state_->drawn) return;
  // The transfer may end between two looks of the monitor.
  if (complete && state_->last_permille < 1000) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - state_->start);
    draw(*state_, state_->total, state_->total, elapsed.count());
  }
  std::cerr << "\n" << std::flush;
  state_->drawn = false;
}

int command_get(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  std::string name;
  if (!parse_command_args(args, {"-o"}, a) || a.positional.size() != 2 ||
      !parse_place(a.positional[0], place))
    return usage_error("get");
  if (!gbk_of_argument(a.positional[1], name))
    return fail(ctx, EXIT_USAGE, "corvane-cli: the name has characters without a GBK form");
  std::string directory;
  const std::string directory_utf8 = a.has("-o") ? a.values["-o"] : ".";
  if (directory_utf8.empty() || !gbk_of_argument(directory_utf8, directory))
    return fail(ctx, EXIT_USAGE, "corvane-cli: -o needs a directory whose name has a GBK form");
  if (int s = ensure_login(ctx)) return s;

  std::vector<ListingRow> rows;
  if (int s = read_place(ctx, place, rows)) return s;
  const ListingRow* row = find_row(rows, name, true);
  if (!row)
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no file " + a.positional[1] + " in " + a.positional[0]);

  // The desktop client makes its download directory when it is missing; so does -o.
  std::error_code ec;
  const std::filesystem::path native_dir = platform::native_path(directory);
  std::filesystem::create_directories(native_dir, ec);
  if (!platform::path_is_directory(directory))
    return fail(ctx, EXIT_REFUSED, "corvane-cli: cannot make the directory " + directory_utf8);

  TransferClient transfer;
  if (!transfer.open("GET", row->address))
    return fail(ctx, EXIT_REFUSED, "corvane-cli: the listing gave no usable address for " + a.positional[1]);
  if (!transfer.send())
    return fail(ctx, failure_status(ctx), "corvane-cli: no answer to the download of " + a.positional[1]);
  // An error page (the file deleted since the listing, say) must not land under the
  // file's name.
  const int code = status_code(transfer.header(""));
  if (code < 200 || code > 299)
    return fail(ctx, EXIT_REFUSED, "corvane-cli: the service answered the download of " +
                                       a.positional[1] + " with status " + std::to_string(code));
  const std::filesystem::path target = native_dir / platform::native_path(safe_file_name(name));
  bool ok = false;
  const std::string block = transfer.header("");
  if (!contains(block, "\r\nContent-Length:", true) || trim(transfer.header("Content-Length")) == "0") {
    // The transfer client streams only answers of a known, non-zero length. An empty
    // file is still a file, and an answer that ends with its connection is read whole
    // (the service's files are small) and put in place only once it is complete.
    ok = write_whole(target, transfer.response_body());
  } else {
    ProgressBar bar(a.positional[1]);
    ok = transfer.receive_to_file(directory, name, bar.callback());
    bar.finish(ok);
  }
  if (!ok)
    return fail(ctx, failure_status(ctx),
                "corvane-cli: the download of " + a.positional[1] + " did not arrive whole");
  const std::uintmax_t bytes = std::filesystem::file_size(target, ec);
  Json document = {{"ok", true},
                             {"result", to_terminal(DOWNLOAD_DONE)},
                             {"file", a.positional[1]},
                             {"path", target.string()},
                             {"bytes", ec ? 0 : bytes}};
  emit(ctx, document, to_terminal(DOWNLOAD_DONE) + ": " + target.string());
  return EXIT_OK;
}

int command_put(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  if (!parse_command_args(args, {"--subdir"}, a) || a.positional.size() < 2 ||
      !parse_place(a.positional[0], place))
    return usage_error("put");
  // DIR/SUBDIR is the same as DIR --subdir SUBDIR.
  std::string subdirectory = place.subdirectory;
  if (a.has("--subdir")) {
    std::string named;
    if (!gbk_of_argument(a.values["--subdir"], named))
      return fail(ctx, EXIT_USAGE, "corvane-cli: the sub-directory name has characters without a GBK form");
    if (!subdirectory.empty() && named != subdirectory) return usage_error("put");
    subdirectory = named;
  }
  place.subdirectory.clear();

  struct Item {
    std::string utf8, gbk;
    bool ok = false;
    std::string result;  // GBK
  };
  std::vector<Item> items;
  for (std::size_t i = 1; i < a.positional.size(); ++i) items.push_back({a.positional[i], "", false, ""});
  if (int s = ensure_login(ctx)) return s;
  std::string upload_code;
  std::vector<ListingRow> rows;
  if (int s = read_place(ctx, place, rows, &upload_code)) return s;

  int status = EXIT_OK;
  for (Item& item : items) {
    std::error_code ec;
    // The service client sends an unreadable file as an empty one; only a readable
    // regular file under a name the core can carry may go.
    const bool named = gbk_of_argument(item.utf8, item.gbk);
    const std::filesystem::path native = platform::native_path(item.gbk);
    const bool regular = named && std::filesystem::is_regular_file(native, ec);
    const std::uintmax_t size = regular ? std::filesystem::file_size(native, ec) : 0;
    if (!named || !regular || ec || !std::ifstream(native, std::ios::binary)) {
      warn("corvane-cli: cannot read " + item.utf8);
      item.result = UPLOAD_FAILED;
      status = std::max(status, EXIT_REFUSED);
      continue;
    }
    if (size > UPLOAD_LIMIT_BYTES) {
      warn(item.utf8 + ": " + to_terminal(UPLOAD_TOO_LARGE));
      item.result = UPLOAD_TOO_LARGE;
      status = std::max(status, EXIT_REFUSED);
      continue;
    }
    const std::string name = platform::path_find_file_name(item.gbk);
    ProgressBar bar(to_terminal(name));
    item.ok = ctx.client->upload_file(item.gbk, upload_code, bar.callback(), 0, subdirectory);
    bar.finish(item.ok);
    item.result = item.ok ? UPLOAD_DONE : UPLOAD_FAILED;
    if (!item.ok) {
      const int s = failure_status(ctx);
      warn(item.utf8 + ": " + to_terminal(UPLOAD_FAILED) +
           (s == EXIT_NETWORK ? " (no answer from the service)" : ""));
      status = std::max(status, s);
    }
  }

  Json files = Json::array();
  std::string text;
  for (const Item& item : items) {
    files.push_back({{"file", item.utf8},
                     {"name", to_terminal(platform::path_find_file_name(item.gbk))},
                     {"uploaded", item.ok},
                     {"result", to_terminal(item.result)}});
    if (item.ok) text += item.utf8 + ": " + to_terminal(item.result) + "\n";
  }
  emit(ctx,
       {{"ok", status == EXIT_OK},
        {"result", to_terminal(status == EXIT_OK ? UPLOAD_DONE : UPLOAD_FAILED)},
        {"directory", place.directory},
        {"subdirectory", to_terminal(subdirectory)},
        {"files", files}},
       text);
  return status;
}

}  // namespace corvane::cli
