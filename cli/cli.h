#pragma once
// corvane-cli: the command-line client on the same core as the desktop client. Each
// command is a few lines over ServiceClient; this header holds what they share.
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/session_state.h"
#include "service/service_client.h"

namespace corvane::cli {

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

  Context();
  ~Context();
};

// Text of the core (GBK) for the terminal and JSON (UTF-8), and back.
std::string to_terminal(const std::string& gbk);
std::string from_terminal(const std::string& utf8);

// Prints the command's outcome: the JSON document with --json, else the text lines.
void emit(const Context& ctx, const nlohmann::json& document, const std::string& text);
// One line on standard error, in UTF-8.
void warn(const std::string& utf8);

// Logs in with the global options; prints nothing on success. Returns the exit status
// to end with when the login failed, or EXIT_OK.
int login_with_options(Context& ctx, std::string* result_text = nullptr);

using CommandFunction = int (*)(Context&, const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;    // arguments, after the name
  const char* summary;  // one line for --help
  CommandFunction run;
};

const std::vector<Command>& commands();
void print_help();

// Commands.
int command_login(Context& ctx, const std::vector<std::string>& args);

}  // namespace corvane::cli
