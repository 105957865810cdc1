#pragma once
// The desktop client's answers to what the service operations ask of the person: the
// captcha and access-password dialogs and message boxes, opened modally on the GUI
// thread whichever thread the operation runs on (a login runs on a worker).
#include <QPointer>
#include <QWidget>

#include "service/prompter.h"

namespace corvane {

class GuiPrompter : public Prompter {
 public:
  // The window the dialogs are placed over (the main window); may be unset.
  void set_parent_window(QWidget* window);
  // Unsets the parent window when it is window.
  void forget_parent_window(QWidget* window);

  void ask_captcha(SessionState& state) override;
  void ask_access_password(SessionState& state) override;
  bool show_message(const std::string& text, const std::string& title,
                    MessageButtons buttons) override;

 private:
  QWidget* parent_window() const;

  QPointer<QWidget> parent_;
};

}  // namespace corvane
