#pragma once
// The process-wide values shared by the windows, the dialogs, the worker threads and the
// service operations. Every member is a plain value replaced whole: a read returns a
// copy taken under the lock, a write replaces the value under the lock, so no reader
// ever sees a torn value whichever thread wrote it.
#include <mutex>
#include <string>
#include <vector>

#include "text/gbk_text.h"

namespace corvane {

using TextTable = std::vector<TextList>;  // parallel lists of texts

#define CORVANE_SESSION_MEMBERS(X)                                                        \
  X(std::string, account_name)         /* space of the current session */                \
  X(int, session_active)               /* 1: the poller may run; 2: logging out */        \
  X(std::string, current_directory)    /* number of the shown directory; "" at the top */ \
  X(std::string, proxy_address)        /* proxy given at login, "" for none */            \
  X(std::string, content_base_url)     /* "http://" + content frame host + "/" */         \
  X(std::string, login_password)       /* password of the last owner login */             \
  X(std::string, captcha_purpose)      /* which captcha the captcha dialog shows */       \
  X(std::string, captcha_answer)       /* typed captcha; "" = cancelled */                \
  X(std::string, access_password)      /* typed access password; "" = cancelled */        \
  X(std::string, directory_upload_code)                                                   \
  X(TextList, directory_index)         /* name|number| per top-level directory */         \
  X(std::string, download_addresses)   /* one address + CR LF per shown row */            \
  X(TextList, subdirectory_files)      /* file entries per sub-directory */               \
  X(std::string, edit_caption)                                                            \
  X(std::string, edit_mode)                                                               \
  X(std::string, edit_name)                                                               \
  X(std::string, edit_value)                                                              \
  X(std::string, edit_password_preset)                                                    \
  X(TextTable, online_lists)                                                              \
  X(TextTable, download_lists)                                                            \
  X(TextTable, deleted_lists)                                                             \
  X(std::string, deleted_notice)

class SessionState {
 public:
  SessionState() = default;
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;

#define CORVANE_ACCESSORS(type, name)                      \
  type name() const {                                      \
    std::lock_guard lock(mutex_);                          \
    return name##_;                                        \
  }                                                        \
  void set_##name(type value) {                            \
    std::lock_guard lock(mutex_);                          \
    name##_ = std::move(value);                            \
  }
  CORVANE_SESSION_MEMBERS(CORVANE_ACCESSORS)
#undef CORVANE_ACCESSORS

  // Every member back to its initial value (empty texts and lists, 0).
  void reset();
  // What a confirmed logout clears; login_password and captcha_purpose survive it.
  void clear_for_logout();

 private:
  mutable std::mutex mutex_;
#define CORVANE_FIELD(type, name) type name##_{};
  CORVANE_SESSION_MEMBERS(CORVANE_FIELD)
#undef CORVANE_FIELD
};

}  // namespace corvane
