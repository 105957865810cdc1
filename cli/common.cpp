#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"
#include "cli/terminal_prompter.h"
#include "platform/codepage.h"

namespace corvane::cli {

Context::Context()
    : prompter(std::make_unique<TerminalPrompter>()),
      client(std::make_unique<ServiceClient>(state, *prompter)) {}

Context::~Context() = default;

std::string to_terminal(const std::string& gbk) { return platform::gbk_to_utf8(gbk); }
std::string from_terminal(const std::string& utf8) { return platform::utf8_to_gbk(utf8); }

void emit(const Context& ctx, const nlohmann::json& document, const std::string& text) {
  if (ctx.options.json)
    std::cout << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  else if (!text.empty())
    std::cout << text << (text.back() == '\n' ? "" : "\n");
  std::cout << std::flush;
}

void warn(const std::string& utf8) { std::cerr << utf8 << "\n" << std::flush; }

namespace {

// Reads the password from the terminal without echo.
std::string ask_password() {
  std::cerr << "password: " << std::flush;
  termios old{};
  bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
  if (tty) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  TerminalPrompter::read_line(line);
  if (tty) tcsetattr(STDIN_FILENO, TCSANOW, &old);
  std::cerr << "\n";
  return line;
}

}  // namespace

int login_with_options(Context& ctx, std::string* result_text) {
  GlobalOptions& o = ctx.options;
  if (o.account.empty()) {
    warn("corvane-cli: --account is required (see --help)");
    return EXIT_USAGE;
  }
  if (!o.visitor && !o.password_given && isatty(STDIN_FILENO)) {
    o.password = ask_password();
    o.password_given = true;
  }
  std::optional<std::string> proxy;
  if (o.proxy_given) proxy = from_terminal(o.proxy);
  std::string result =
      ctx.client->login(from_terminal(o.account), from_terminal(o.password), proxy, o.visitor ? 1 : 0);
  if (result_text) *result_text = result;
  if (result == login_result::OK || result == login_result::VISITOR) return EXIT_OK;
  return EXIT_REFUSED;
}

}  // namespace corvane::cli
