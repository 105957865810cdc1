#include "ui/gui_prompter.h"

#include "ui/dialogs/access_password_window.h"
#include "ui/dialogs/captcha_window.h"
#include "ui/dispatcher.h"
#include "ui/message_box.h"

namespace corvane {

void GuiPrompter::set_parent_window(QWidget* window) {
  Dispatcher::call_blocking([&] { parent_ = window; });
}

void GuiPrompter::forget_parent_window(QWidget* window) {
  Dispatcher::call_blocking([&] {
    if (parent_ == window) parent_ = nullptr;
  });
}

QWidget* GuiPrompter::parent_window() const { return parent_.data(); }

void GuiPrompter::ask_captcha(SessionState& state) {
  // A dialog closed with its close box leaves the answer as it was; starting from ""
  // makes that a cancel, instead of posting the answer to an earlier captcha again.
  state.set_captcha_answer("");
  Dispatcher::call_blocking([&] {
    CaptchaWindow window(state, parent_window());
    window.exec();
  });
}

void GuiPrompter::ask_access_password(SessionState& state) {
  state.set_access_password("");
  Dispatcher::call_blocking([&] {
    AccessPasswordWindow window(state, parent_window());
    window.exec();
  });
}

bool GuiPrompter::show_message(const std::string& text, const std::string& title,
                               MessageButtons buttons) {
  bool yes = true;
  Dispatcher::call_blocking([&] {
    if (buttons == MessageButtons::yes_no)
      yes = ask_yes_no(parent_window(), text, title);
    else
      show_message_box(parent_window(), text, title);
  });
  return yes;
}

}  // namespace corvane
