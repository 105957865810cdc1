// corvane-cli [global options] COMMAND [arguments]
#include <cstring>
#include <iostream>

#include "cli/cli.h"
#include "service/endpoints.h"

namespace corvane::cli {

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"login", "", "log in and print the result (登录成功, 游客身份, ...)", command_login},
  };
  return table;
}

void print_help() {
  std::cout <<
      R"(usage: corvane-cli [options] COMMAND [arguments]

A command-line client for a Corvane personal cloud-disk space. Every command logs in
first with the options below. Text on the terminal is UTF-8.

options:
  --domain HOST[:PORT]     the service's domain (default corvane.example, or $CORVANE_DOMAIN);
                           spaces are ACCOUNT.DOMAIN
  --main-host HOST[:PORT]  back end and registration host (default www.DOMAIN,
                           or $CORVANE_MAIN_HOST)
  --shortener-host HOST    address shortener (default s.DOMAIN, or $CORVANE_SHORTENER_HOST)
  --account NAME           the space to log into
  --password PW            the owner's password (asked for on a terminal when missing)
  --visitor                open a visitor session instead (no password)
  --proxy HOST:PORT        HTTP proxy for the page requests
  --json                   print one JSON document on standard output
  --help                   this text

commands:
)";
  for (const auto& c : commands()) {
    std::string head = std::string("  ") + c.name + (c.usage[0] ? " " : "") + c.usage;
    std::cout << head;
    if (head.size() < 26)
      std::cout << std::string(26 - head.size(), ' ');
    else
      std::cout << "\n" << std::string(26, ' ');
    std::cout << c.summary << "\n";
  }
  std::cout << R"(
When the service asks for a captcha, its image is written to a temporary file whose path
is printed on standard error; type the four characters and Enter (an empty line cancels).

exit status: 0 success, 1 refused by the service, 2 usage error, 3 network failure.
)";
}

namespace {

// Parses the global options that come before the command. Returns false on a usage error.
bool parse_options(int argc, char** argv, GlobalOptions& o, std::vector<std::string>& rest) {
  int i = 1;
  auto value = [&](const char* name, std::string& into) {
    if (i + 1 >= argc) {
      warn(std::string("corvane-cli: ") + name + " needs a value");
      return false;
    }
    into = argv[++i];
    return true;
  };
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) != 0 || rest.size() > 0) {
      rest.push_back(a);
      continue;
    }
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--visitor") {
      o.visitor = true;
    } else if (a == "--domain") {
      if (!value("--domain", o.domain)) return false;
    } else if (a == "--main-host") {
      if (!value("--main-host", o.main_host)) return false;
    } else if (a == "--shortener-host") {
      if (!value("--shortener-host", o.shortener_host)) return false;
    } else if (a == "--account") {
      if (!value("--account", o.account)) return false;
    } else if (a == "--password") {
      if (!value("--password", o.password)) return false;
      o.password_given = true;
    } else if (a == "--proxy") {
      if (!value("--proxy", o.proxy)) return false;
      o.proxy_given = true;
    } else {
      warn("corvane-cli: unknown option " + a + " (see --help)");
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Context ctx;
  std::vector<std::string> rest;
  if (!parse_options(argc, argv, ctx.options, rest)) return EXIT_USAGE;
  if (ctx.options.help) {
    print_help();
    return EXIT_OK;
  }
  if (rest.empty()) {
    print_help();
    return EXIT_USAGE;
  }
  set_endpoints(resolve_endpoints(ctx.options.domain, ctx.options.main_host,
                                  ctx.options.shortener_host));
  const std::string name = rest.front();
  rest.erase(rest.begin());
  for (const auto& c : commands())
    if (name == c.name) return c.run(ctx, rest);
  warn("corvane-cli: unknown command " + name + " (see --help)");
  return EXIT_USAGE;
}

}  // namespace corvane::cli

int main(int argc, char** argv) { return corvane::cli::main(argc, argv); }
