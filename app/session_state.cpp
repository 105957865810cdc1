#include "app/session_state.h"

namespace corvane {

void SessionState::reset() {
  std::lock_guard lock(mutex_);
#define CORVANE_RESET(type, name) name##_ = type{};
  CORVANE_SESSION_MEMBERS(CORVANE_RESET)
#undef CORVANE_RESET
}

void SessionState::clear_for_logout() {
  std::lock_guard lock(mutex_);
  account_name_.clear();
  content_base_url_.clear();
  captcha_answer_.clear();
  proxy_address_.clear();
  access_password_.clear();
}

}  // namespace corvane
