#pragma once
#include <string>

#include "service/prompter.h"

namespace corvane::cli {

// Answers the service's questions on the terminal: a captcha image goes to a temporary
// file whose path is printed on standard error, the answer is one line of standard
// input; an empty line or the end of input cancels.
class TerminalPrompter : public Prompter {
 public:
  void ask_captcha(SessionState& state) override;
  void ask_access_password(SessionState& state) override;
  bool show_message(const std::string& text, const std::string& title,
                    MessageButtons buttons) override;

  // Reads one line of standard input without its line end; false at end of input.
  static bool read_line(std::string& line);
};

}  // namespace corvane::cli
