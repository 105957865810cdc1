#pragma once
// What the service operations need from a person: a captcha, an access password, a
// message box. The desktop client answers with its dialogs, the command-line client on
// the terminal, the tests from a script. Answers travel through SessionState, as the
// dialogs of the desktop client hand them back.
#include <string>

#include "app/session_state.h"

namespace corvane {

enum class MessageButtons { ok, yes_no };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows the captcha of state.captcha_purpose() and blocks until answered; writes
  // state.captcha_answer(): four bytes, or "" when cancelled.
  virtual void ask_captcha(SessionState& state) = 0;
  // Asks for the password of a protected directory; writes state.access_password()
  // ("" when cancelled).
  virtual void ask_access_password(SessionState& state) = 0;
  // A modal message box; the caption is "信息：" when title is empty. True for OK or Yes.
  virtual bool show_message(const std::string& text, const std::string& title,
                            MessageButtons buttons) = 0;
};

// The caption of a message box without a title of its own.
inline constexpr const char* DEFAULT_MESSAGE_TITLE = "\xD0\xC5\xCF\xA2\xA3\xBA"; /* 信息： */

}  // namespace corvane
