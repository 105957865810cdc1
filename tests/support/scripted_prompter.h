#pragma once
// A Prompter that answers from a script and records what it was asked.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "service/prompter.h"

namespace corvane::test {

class ScriptedPrompter : public Prompter {
 public:
  struct Message {
    std::string text, title;
    MessageButtons buttons;
  };

  // Answers handed out in order; when a queue runs dry the answer is "" (cancel) or No.
  std::deque<std::string> captcha_answers;
  std::deque<std::string> access_passwords;
  std::deque<bool> message_answers;
  // When set, every captcha request also fetches the image, as the dialog does.
  bool load_images = false;

  void ask_captcha(SessionState& state) override;
  void ask_access_password(SessionState& state) override;
  bool show_message(const std::string& text, const std::string& title,
                    MessageButtons buttons) override;

  std::vector<std::string> captcha_purposes() const;
  std::vector<std::string> images() const;
  std::vector<Message> messages() const;
  int access_password_requests() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> purposes_;
  std::vector<std::string> images_;
  std::vector<Message> messages_;
  int access_requests_ = 0;
};

}  // namespace corvane::test
