// shell: an interactive session on one login. Commands come from readline on a
// terminal and as plain lines otherwise, so that scripts and tests can drive it; each
// runs the command of the same name with the current place filled in.
#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/cli.h"
#include "cli/terminal_prompter.h"

namespace corvane::cli {

namespace {

constexpr const char* SHELL_HELP = R"(commands (NAME as the listing shows it; quote names with blanks):
  cd DIR | cd SUBDIR | cd DIR/SUBDIR | cd .. | cd /
  ls [DIR[/SUBDIR]]          the directories at the top, else the rows of the place
  get NAME [-o DIR]          download a file of the current place
  put FILE... [--subdir NAME]  upload into the current directory (or its sub-directory)
  rm NAME                    delete a file or sub-directory; at the top, a directory by number
  mkdir NAME [--password PW] a new directory (at the top)
  status                     the space's size, free space and visitors, and any update notice
  help                       this text
  quit                       end the session (also: exit, end of input)
Every other command of corvane-cli works too, with its own arguments (e.g. online,
downloads, rename 12 a.txt b.txt).
)";

// Splits a command line into words: blanks separate, '...' keeps everything, "..."
// keeps everything but \" and \\, and a backslash outside quotes keeps the next
// character. False for an unterminated quote.
bool split_words(const std::string& line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
    } else if (c == '\'' || c == '"') {
      for (++i; i < line.size() && line[i] != c; ++i) {
        if (c == '"' && line[i] == '\\' && i + 1 < line.size() &&
            (line[i + 1] == '"' || line[i + 1] == '\\'))
          ++i;
        word += line[i];
      }
      if (i >= line.size()) return false;
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(word);
  return true;
}

struct Where {
  std::string directory;     // number; empty at the top
  std::string subdirectory;  // UTF-8 name; empty for the directory itself
  std::string place() const {
    return subdirectory.empty() ? directory : directory + "/" + subdirectory;
  }
  std::string prompt(const std::string& account) const {
    return account + ":/" + place() + "> ";
  }
};

class Shell {
 public:
  explicit Shell(Context& ctx) : ctx_(ctx), tty_(isatty(STDIN_FILENO) == 1) {}

  int run() {
    std::string line;
    while (read(line)) {
      std::vector<std::string> words;
      if (!split_words(line, words)) {
        last_ = fail(ctx_, EXIT_USAGE, "corvane-cli: unterminated quote");
        continue;
      }
      if (words.empty()) continue;
      const std::string name = words.front();
      words.erase(words.begin());
      if (name == "quit" || name == "exit") break;
      last_ = dispatch(name, words);
    }
    return last_;
  }

 private:
  bool read(std::string& line) {
    if (!tty_) return TerminalPrompter::read_line(line);
    char* got = readline(where_.prompt(ctx_.options.account).c_str());
    if (!got) {
      std::cout << "\n";
      return false;
    }
    line = got;
    std::free(got);
    if (!line.empty()) add_history(line.c_str());
    return true;
  }

  // The current place with args appended, for the commands that work at a place.
  std::vector<std::string> at_place(const std::vector<std::string>& args) const {
    std::vector<std::string> full{where_.place()};
    full.insert(full.end(), args.begin(), args.end());
    return full;
  }

  int not_at_top(const char* what) {
    return fail(ctx_, EXIT_USAGE, std::string("corvane-cli: ") + what + " works inside a directory (cd DIR first)");
  }

  int dispatch(const std::string& name, const std::vector<std::string>& args) {
    if (name == "help") {
      std::cout << SHELL_HELP << std::flush;
      return EXIT_OK;
    }
    if (name == "cd") return change_place(args);
    if (name == "ls") {
      if (!args.empty()) return command_ls(ctx_, args);
      return where_.directory.empty() ? command_dirs(ctx_, {}) : command_ls(ctx_, {where_.place()});
    }
    if (name == "get") return where_.directory.empty() ? not_at_top("get") : command_get(ctx_, at_place(args));
    if (name == "put") return where_.directory.empty() ? not_at_top("put") : command_put(ctx_, at_place(args));
    if (name == "rm") return where_.directory.empty() ? command_rmdir(ctx_, args) : command_rm(ctx_, at_place(args));
    if (name == "mkdir") {
      if (where_.directory.empty()) return command_mkdir(ctx_, args);
      return fail(ctx_, EXIT_USAGE,
                  "corvane-cli: a sub-directory is made with its first file: put FILE --subdir NAME");
    }
    if (name == "shell") return fail(ctx_, EXIT_USAGE, "corvane-cli: already in the shell");
    if (const Command* c = find_command(name)) return c->run(ctx_, args);
    return fail(ctx_, EXIT_USAGE, "corvane-cli: unknown command " + name + " (try help)");
  }

  int change_place(const std::vector<std::string>& args) {
    if (args.size() > 1) return fail(ctx_, EXIT_USAGE, "usage: cd DIR | SUBDIR | DIR/SUBDIR | .. | /");
    std::string target = args.empty() ? "/" : args[0];
    Where next = where_;
    if (target == "/") {
      where_ = {};
      return EXIT_OK;
    }
    if (target == "..") {
      if (!next.subdirectory.empty())
        next.subdirectory.clear();
      else
        next.directory.clear();
      where_ = next;
      return EXIT_OK;
    }
    if (target.front() == '/' || next.directory.empty()) {
      if (target.front() == '/') target.erase(0, 1);
      Place place;
      if (!parse_place(target, place))
        return fail(ctx_, EXIT_USAGE, "corvane-cli: " + target + " is not DIR or DIR/SUBDIR (DIR is a number)");
      next.directory = place.directory;
      next.subdirectory = to_terminal(place.subdirectory);
    } else if (next.subdirectory.empty()) {
      next.subdirectory = target;
    } else {
      return fail(ctx_, EXIT_USAGE, "corvane-cli: sub-directories hold no sub-directories");
    }
    // Only a place that lists may become the current one.
    Place place;
    if (!parse_place(next.place(), place)) return fail(ctx_, EXIT_USAGE, "corvane-cli: bad place " + next.place());
    std::vector<ListingRow> rows;
    if (int s = read_place(ctx_, place, rows)) return s;
    where_ = next;
    return EXIT_OK;
  }

  Context& ctx_;
  const bool tty_;
  Where where_;
  int last_ = EXIT_OK;
};

}  // namespace

int command_shell(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("shell");
  if (int s = ensure_login(ctx)) return s;
  return Shell(ctx).run();
}

}  // namespace corvane::cli
