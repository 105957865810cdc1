#include "tests/support/scripted_prompter.h"

#include "service/captcha.h"

namespace corvane::test {

void ScriptedPrompter::ask_captcha(SessionState& state) {
  std::string image = load_images ? load_captcha_image(state) : std::string();
  std::lock_guard lock(mutex_);
  purposes_.push_back(state.captcha_purpose());
  if (load_images) images_.push_back(image);
  std::string answer;
  if (!captcha_answers.empty()) {
    answer = captcha_answers.front();
    captcha_answers.pop_front();
  }
  state.set_captcha_answer(answer);
}

void ScriptedPrompter::ask_access_password(SessionState& state) {
  std::lock_guard lock(mutex_);
  ++access_requests_;
  std::string answer;
  if (!access_passwords.empty()) {
    answer = access_passwords.front();
    access_passwords.pop_front();
  }
  state.set_access_password(answer);
}

bool ScriptedPrompter::show_message(const std::string& text, const std::string& title,
                                    MessageButtons buttons) {
  std::lock_guard lock(mutex_);
  messages_.push_back({text, title, buttons});
  if (message_answers.empty()) return buttons == MessageButtons::ok;
  bool answer = message_answers.front();
  message_answers.pop_front();
  return answer;
}

std::vector<std::string> ScriptedPrompter::captcha_purposes() const {
  std::lock_guard lock(mutex_);
  return purposes_;
}

std::vector<std::string> ScriptedPrompter::images() const {
  std::lock_guard lock(mutex_);
  return images_;
}

std::vector<ScriptedPrompter::Message> ScriptedPrompter::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

int ScriptedPrompter::access_password_requests() const {
  std::lock_guard lock(mutex_);
  return access_requests_;
}

}  // namespace corvane::test
