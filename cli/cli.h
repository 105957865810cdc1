#pragma once
// corvane-cli: the command-line client on the same core as the desktop client. Each
// command is a few lines over ServiceClient; this header holds what they share.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/session_state.h"
#include "service/service_client.h"

namespace corvane::cli {

// JSON documents keep their members in the order they were written.
using Json = nlohmann::ordered_json;

// Exit statuses.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_REFUSED = 1;   // the service said no (or the person cancelled)
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NETWORK = 3;   // no answer from the service

struct GlobalOptions {
  std::string domain, main_host, shortener_host;
  std::string account;            // UTF-8 as typed
  std::string password;           // UTF-8 as typed
  bool password_given = false;
  bool visitor = false;
  std::string proxy;
  bool proxy_given = false;
  bool json = false;
  bool help = false;
};

class TerminalPrompter;

// Everything a command works with: the options, the session values, the prompter and
// the service client.
struct Context {
  GlobalOptions options;
  SessionState state;
  std::unique_ptr<TerminalPrompter> prompter;
  std::unique_ptr<ServiceClient> client;
  bool logged_in = false;  // the shell logs in once and keeps the session

  Context();
  ~Context();
};

// Text of the core (GBK) for the terminal and JSON (UTF-8), and back.
std::string to_terminal(const std::string& gbk);
std::string from_terminal(const std::string& utf8);
// The GBK form of a text typed on the terminal, or false when some character of it has
// no GBK form (it would reach the service, or the file system, as another name).
bool gbk_of_argument(const std::string& utf8, std::string& gbk);

// Prints the command's outcome: the JSON document with --json, else the text lines.
void emit(const Context& ctx, const Json& document, const std::string& text);
// One line on standard error, in UTF-8.
void warn(const std::string& utf8);

// Logs in with the global options; prints nothing on success. Returns the exit status
// to end with when the login failed, or EXIT_OK.
int login_with_options(Context& ctx, std::string* result_text = nullptr);
// login_with_options once per context: the commands call it first, and in the shell
// every command after the first finds the session open.
int ensure_login(Context& ctx);

// Whether the service answers at all: any HTTP answer from the space's home page
// counts, an error page included. Failed operations ask it to tell a refusal (the
// service answered, EXIT_REFUSED) from a network failure (nothing answered,
// EXIT_NETWORK), since the operations themselves report both as an empty result.
bool service_answers(const Context& ctx);
// "http://" + account + "." + domain + "/", the page service_answers asks for (GBK).
std::string home_page_url(const Context& ctx);
int failure_status(const Context& ctx);
// Ends a command that did not succeed: the message on standard error and, with --json,
// {"ok": false, "error": message, "exit": status} on standard output. Returns status.
int fail(const Context& ctx, int status, const std::string& utf8_message);
// fail() with failure_status() and the result text (GBK) of the operation.
int fail_operation(const Context& ctx, const std::string& gbk_result);
// Ends a command whose operation succeeded: result (GBK) as the text line, or with
// --json an object with "ok": true, "result" and the extra members.
int succeed(const Context& ctx, const std::string& gbk_result, Json extra = {});

// The arguments of a command after its name: options (and their values) apart from the
// positional arguments. "--" ends the options; "--name=value" is accepted too.
struct CommandArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  bool has(const std::string& option) const { return values.count(option) != 0; }
};
// value_options: the options of the command, each taking a value ("-o", "--to", ...).
// False (with a message) for an unknown option or a missing value.
bool parse_command_args(const std::vector<std::string>& args,
                        const std::vector<std::string>& value_options, CommandArgs& out);
// The desktop client offers the download records, the deleted files and their recovery
// to the owner only; false (after the message, status set) for a visitor session.
bool require_owner(const Context& ctx, const char* command_name, int& status);

// Prints "usage: corvane-cli [options] NAME USAGE" for the named command; EXIT_USAGE.
int usage_error(const char* command_name);

// --- The space's tree as the listings show it (cmd_listing.cpp) ---

struct DirectoryRow {
  std::string number, name, key;  // GBK
  bool encrypted = false;
};

// One row of a directory's or a sub-directory's listing. Sub-directory rows carry "-" in
// id, address, time and size, as the listing has them.
struct ListingRow {
  bool subdirectory = false;
  std::string id, address, time, name, size;  // GBK
};

// Where a command works: "DIR" or "DIR/SUBDIR" (UTF-8 on the command line).
struct Place {
  std::string directory;     // number, as the directory listing shows it
  std::string subdirectory;  // GBK name; empty for the directory itself
};
bool parse_place(const std::string& utf8, Place& place);

// The root directories; EXIT_OK, or the status to end with.
int read_directories(Context& ctx, std::vector<DirectoryRow>& rows);
// The directory row numbered number among rows; nullptr when there is none.
const DirectoryRow* find_directory(const std::vector<DirectoryRow>& rows,
                                   const std::string& number);
// The rows shown at place, read the way the desktop client navigates: the directory
// listing first (the number must be one of its directories), then the directory's files
// (access password asked for when the service wants it), then, for a sub-directory, its
// files from the same answer. upload_code receives the directory's upload code.
// EXIT_OK, or the status to end with (the reason already reported).
int read_place(Context& ctx, const Place& place, std::vector<ListingRow>& rows,
               std::string* upload_code = nullptr, std::vector<DirectoryRow>* directories = nullptr);
// The first row named name (GBK), in listing order; nullptr when there is none.
const ListingRow* find_row(const std::vector<ListingRow>& rows, const std::string& name,
                           bool files_only = false);

// Progress bar with speed on standard error for get and put, drawn only when standard
// error is a terminal. The callback runs on the transfer's monitor thread; finish() ends
// the bar's line once the transfer call returned.
class ProgressBar {
 public:
  explicit ProgressBar(std::string utf8_label);
  ~ProgressBar();
  TransferProgressCallback callback();
  // complete: the transfer succeeded, so the bar ends at 100%.
  void finish(bool complete);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

using CommandFunction = int (*)(Context&, const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;    // arguments, after the name
  const char* summary;  // one line for --help
  CommandFunction run;
};

const std::vector<Command>& commands();
const Command* find_command(const std::string& name);
void print_help();

// Commands.
int command_login(Context& ctx, const std::vector<std::string>& args);
int command_dirs(Context& ctx, const std::vector<std::string>& args);
int command_ls(Context& ctx, const std::vector<std::string>& args);
int command_get(Context& ctx, const std::vector<std::string>& args);
int command_put(Context& ctx, const std::vector<std::string>& args);
int command_rm(Context& ctx, const std::vector<std::string>& args);
int command_rmdir(Context& ctx, const std::vector<std::string>& args);
int command_mkdir(Context& ctx, const std::vector<std::string>& args);
int command_edit_dir(Context& ctx, const std::vector<std::string>& args);
int command_rename(Context& ctx, const std::vector<std::string>& args);
int command_edit_subdir(Context& ctx, const std::vector<std::string>& args);
int command_status(Context& ctx, const std::vector<std::string>& args);
int command_online(Context& ctx, const std::vector<std::string>& args);
int command_downloads(Context& ctx, const std::vector<std::string>& args);
int command_deleted(Context& ctx, const std::vector<std::string>& args);
int command_restore(Context& ctx, const std::vector<std::string>& args);
int command_register(Context& ctx, const std::vector<std::string>& args);
int command_link(Context& ctx, const std::vector<std::string>& args);
int command_shell(Context& ctx, const std::vector<std::string>& args);

}  // namespace corvane::cli
