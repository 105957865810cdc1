// corvane-cli [global options] COMMAND [arguments]
#include <cstring>
#include <iostream>

#include "cli/cli.h"
#include "service/endpoints.h"

namespace corvane::cli {

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"login", "", "log in and print the result (登录成功, 游客身份, ...)", command_login},
      {"dirs", "", "list the root directories: number, 加密文件夹 or -, name", command_dirs},
      {"ls", "DIR[/SUBDIR]", "list a directory or sub-directory: kind, size, time, id, name",
       command_ls},
      {"get", "DIR[/SUBDIR] NAME [-o DIR]",
       "download a file into -o DIR (default: the current directory)", command_get},
      {"put", "DIR FILE... [--subdir NAME]",
       "upload files (15 MB each at most), into sub-directory NAME (made with its first file)",
       command_put},
      {"rm", "DIR[/SUBDIR] NAME", "delete a file or a sub-directory", command_rm},
      {"rmdir", "DIR", "delete a root directory with everything in it", command_rmdir},
      {"mkdir", "NAME [--password PW]", "create a root directory, with an access password",
       command_mkdir},
      {"edit-dir", "DIR NAME [--password PW]",
       "rename a root directory; --password sets its access password (\"\" removes it)",
       command_edit_dir},
      {"rename", "DIR[/SUBDIR] NAME NEWNAME [--to DIR]", "rename a file, and move it to --to DIR",
       command_rename},
      {"edit-subdir", "DIR SUBDIR NEWNAME [--to DIR]",
       "rename a sub-directory, and move it to --to DIR", command_edit_subdir},
      {"status", "", "size, free space and visitors online, and the latest update notice",
       command_status},
      {"online", "", "the visitors online: ip, entered, online", command_online},
      {"downloads", "", "the download records, every page: time, ip, amount, speed, taken, file",
       command_downloads},
      {"deleted", "", "the files deleted within five days (back-end login with a captcha)",
       command_deleted},
      {"restore", "", "restore every file deleted within five days (back-end login)",
       command_restore},
      {"register", "ACCOUNT PASSWORD EMAIL", "register a new space (a captcha; no login needed)",
       command_register},
      {"link", "DIR[/SUBDIR] NAME", "the short download address of a file", command_link},
      {"shell", "", "an interactive session on one login (type help in it)", command_shell},
  };
  return table;
}

const Command* find_command(const std::string& name) {
  for (const auto& c : commands())
    if (name == c.name) return &c;
  return nullptr;
}

void print_help() {
  std::cout <<
      R"(usage: corvane-cli [options] COMMAND [arguments] [command options]

A command-line client for a Corvane personal cloud-disk space. Every command but register
logs in first with the options below. Text on the terminal is UTF-8.

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
DIR is a directory number as dirs shows it; SUBDIR and NAME are names as ls shows them.
Options of a command (-o, --subdir, --password, --to) come after the command's name:
"--password PW" before the command is the owner's password, after mkdir or edit-dir it is
the directory's access password.

When the service asks for a captcha, its image is written to a temporary file whose path
is printed on standard error; type the four characters and Enter (an empty line cancels).
An access password is asked for the same way when a protected directory is listed.

--json prints one JSON document on standard output: an array of objects for dirs (number,
name, encrypted, key), ls (kind, id, address, time, name, size), online (ip, entered,
online), downloads (time, ip, file, amount, speed, taken) and deleted (name, size,
deleted); otherwise an object with "ok" and "result" (and "error" and "exit" on failure).
get and put draw a progress bar with the speed on standard error when it is a terminal.

exit status: 0 success, 1 refused by the service (or cancelled, or not found in the
listing), 2 usage error, 3 network failure. The service's pages report a failure and a
lost connection alike, so after a failed login or operation the client asks for the
space's home page once more: when nothing answers at all (any HTTP answer counts, an
error page too), the failure is a network failure. The shell ends with the status of
its last command.
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
  if (const Command* c = find_command(name)) return c->run(ctx, rest);
  warn("corvane-cli: unknown command " + name + " (see --help)");
  return EXIT_USAGE;
}

}  // namespace corvane::cli

int main(int argc, char** argv) { return corvane::cli::main(argc, argv); }
