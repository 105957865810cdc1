#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"
#include "cli/terminal_prompter.h"
#include "http/page_fetcher.h"
#include "platform/codepage.h"
#include "service/endpoints.h"

namespace corvane::cli {

Context::Context()
    : prompter(std::make_unique<TerminalPrompter>()),
      client(std::make_unique<ServiceClient>(state, *prompter)) {}

Context::~Context() = default;

std::string to_terminal(const std::string& gbk) { return platform::gbk_to_utf8(gbk); }
std::string from_terminal(const std::string& utf8) { return platform::utf8_to_gbk(utf8); }

bool gbk_of_argument(const std::string& utf8, std::string& gbk) {
  gbk = from_terminal(utf8);
  return to_terminal(gbk) == utf8;
}

void emit(const Context& ctx, const Json& document, const std::string& text) {
  if (ctx.options.json)
    std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
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

std::string home_page_url(const Context& ctx) {
  return "http://" + from_terminal(ctx.options.account) + "." + SERVICE_DOMAIN() + "/";
}

bool service_answers(const Context& ctx) {
  FetchOptions options;
  std::string headers;
  options.raw_headers = &headers;
  if (ctx.options.proxy_given) options.proxy = from_terminal(ctx.options.proxy);
  fetch_page(home_page_url(ctx), options);
  return !headers.empty();
}

int failure_status(const Context& ctx) {
  return service_answers(ctx) ? EXIT_REFUSED : EXIT_NETWORK;
}

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
  if (result == login_result::OK || result == login_result::VISITOR) {
    ctx.logged_in = true;
    return EXIT_OK;
  }
  // An empty home page or an empty answer to the password post reads as "no such
  // space" or "login failed"; only asking the service again tells whether it answered.
  if (result == login_result::NO_SUCH_ACCOUNT || result == login_result::FAILED)
    return failure_status(ctx);
  return EXIT_REFUSED;
}

int ensure_login(Context& ctx) {
  if (ctx.logged_in) return EXIT_OK;
  std::string result;
  int status = login_with_options(ctx, &result);
  if (status == EXIT_OK || status == EXIT_USAGE) return status;
  if (status == EXIT_NETWORK)
    return fail(ctx, status, "corvane-cli: no answer from the service (" +
                                 to_terminal(home_page_url(ctx)) + ")");
  return fail(ctx, status, "corvane-cli: login: " + to_terminal(result));
}

int fail(const Context& ctx, int status, const std::string& utf8_message) {
  warn(utf8_message);
  if (ctx.options.json) emit(ctx, {{"ok", false}, {"error", utf8_message}, {"exit", status}}, "");
  return status;
}

int fail_operation(const Context& ctx, const std::string& gbk_result) {
  const int status = failure_status(ctx);
  std::string message = to_terminal(gbk_result);
  if (status == EXIT_NETWORK) message += " (no answer from the service)";
  return fail(ctx, status, message);
}

int succeed(const Context& ctx, const std::string& gbk_result, Json extra) {
  Json document = {{"ok", true}, {"result", to_terminal(gbk_result)}};
  if (extra.is_object()) document.update(extra);
  emit(ctx, document, to_terminal(gbk_result));
  return EXIT_OK;
}

bool parse_command_args(const std::vector<std::string>& args,
                        const std::vector<std::string>& value_options, CommandArgs& out) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_ended || a.size() < 2 || a[0] != '-') {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_ended = true;
      continue;
    }
    std::string name = a, value;
    bool inline_value = false;
    if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inline_value = true;
    }
    bool known = false;
    for (const auto& v : value_options) known = known || v == name;
    if (!known) {
      warn("corvane-cli: unknown option " + name);
      return false;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) {
        warn("corvane-cli: " + name + " needs a value");
        return false;
      }
      value = args[++i];
    }
    out.values[name] = value;
  }
  return true;
}

int usage_error(const char* command_name) {
  const Command* c = find_command(command_name);
  std::string line = std::string("usage: corvane-cli [options] ") + command_name;
  if (c && c->usage[0]) line += std::string(" ") + c->usage;
  warn(line);
  return EXIT_USAGE;
}

}  // namespace corvane::cli
