#pragma once
// The client of the service's web pages. The service has no programmatic interface: each
// operation sends the page request or form post a browser would send and reads the GBK
// answer through marker searches and regular expressions. Failures come back as results
// (fixed texts, counts, truth values), never as exceptions.
//
// Each group of operations lives in its own source file (login.cpp, ...).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/guarded.h"
#include "app/session_state.h"
#include "service/prompter.h"

namespace corvane {

// Progress of a transfer: (user value, total bytes, bytes done, milliseconds elapsed).
using TransferProgressCallback =
    std::function<void(int32_t user, int64_t& total, int64_t& done, int64_t& elapsed)>;

// The seven results of login.
namespace login_result {
inline constexpr const char* OK = "\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6";                 /* 登录成功 */
inline constexpr const char* VISITOR = "\xD3\xCE\xBF\xCD\xC9\xED\xB7\xDD";            /* 游客身份 */
inline constexpr const char* EMPTY_PASSWORD = "\xC3\xDC\xC2\xEB\xB2\xBB\xC4\xDC\xBF\xD5"; /* 密码不能空 */
inline constexpr const char* CANCELLED = "\xB7\xC5\xC6\xFA\xB5\xC7\xC2\xBC";          /* 放弃登录 */
inline constexpr const char* WRONG_PASSWORD =
    "\xC3\xDC\xC2\xEB\xCA\xE4\xC8\xEB\xB2\xBB\xD5\xFD\xC8\xB7"; /* 密码输入不正确 */
inline constexpr const char* NO_SUCH_ACCOUNT = "\xD5\xCB\xBA\xC5\xB2\xBB\xB4\xE6\xD4\xDA"; /* 账号不存在 */
inline constexpr const char* FAILED = "\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC";             /* 登录失败 */
}  // namespace login_result

class ServiceClient {
 public:
  // The client reads and writes the process-wide session values and asks the person at
  // the keyboard through prompter; both must outlive it.
  ServiceClient(SessionState& state, Prompter& prompter) : state_(&state), prompter_(&prompter) {}
  // A copy has the same integers and its own copies of the texts.
  ServiceClient(const ServiceClient&) = default;
  ServiceClient& operator=(const ServiceClient&) = default;
  ~ServiceClient() = default;

  // Fields. Worker threads read what the login thread wrote, so each is replaced whole.
  Guarded<int> logged_in{0};          // 1 after a successful owner or visitor login
  Guarded<std::string> frame_url;     // "http://" + the content frame's address
  Guarded<int> visitor{0};            // 1 for a visitor session
  Guarded<std::string> directory_table;  // number|name| per directory
  Guarded<std::string> upload_server;    // label of the upload server
  Guarded<int> backend_logged_in{0};

  // Opens a session on the space `account`. Returns one of the login_result texts.
  std::string login(const std::string& account, const std::optional<std::string>& password = {},
                    const std::optional<std::string>& proxy = {}, int visitor_mode = 0);

  // Listing (listing.cpp). list_files returns the row count, 0 when refused to an owner or
  // not logged in, -1 for a wrong access password, -2 when the password was not given.
  int list_directories(TextList& keys, TextList& names);
  int list_files(const std::string& directory, TextList& ids, TextList& addresses,
                 TextList& times, TextList& names, TextList& sizes, TextList& subdirectory_files,
                 std::string& upload_code);

  // Space status (space_status.cpp).
  void read_space_status(std::string& status, std::string& update);

  // Deleting (deletion.cpp).
  bool delete_file(const std::string& delete_id, const std::string& directory);
  bool delete_directory(const std::string& directory);

  // Upload (upload.cpp): true when the service's answer reports success.
  bool upload_file(const std::string& file_path, const std::string& upload_code,
                   const TransferProgressCallback& progress, int32_t user_value,
                   const std::string& subdirectory_name);

  // Creating and editing (editing.cpp): true when the service reported success.
  bool create_directory(const std::string& name, const std::string& password);
  bool edit_directory(const std::string& directory, const std::string& new_name,
                      const std::string& password);
  bool edit_file(const std::string& file_id, const std::string& current_directory,
                 const std::string& target_directory, const std::string& new_name);
  bool edit_subdirectory(const std::string& current_directory, const std::string& target_directory,
                         const std::string& old_name, const std::string& new_name);

  // Visitors online and download records (records.cpp): the number of rows found.
  int list_online(TextList& ips, TextList& entered, TextList& online);
  int list_download_records(TextList& times, TextList& ips, TextList& files, TextList& amounts,
                            TextList& speeds, TextList& taken);

  // Back end and recovery of deleted files (backend.cpp).
  bool backend_login();
  std::string list_deleted_files(TextList& names, TextList& sizes, TextList& deleted);
  std::string restore_deleted_files();

  // Registration of a new space (registration.cpp): the result text.
  std::string register_space(const std::string& account, const std::string& password,
                             const std::string& email);

  SessionState& state() const { return *state_; }
  Prompter& prompter() const { return *prompter_; }

  // The form envelope of the space's operations: POST "Yz0=" + code + "&Yz1=" + a1 +
  // "&Yz2=" + a2 + "&Yz3=" + a3 + "&Yz4=" + a4 to frame_url, values inserted exactly as
  // given. with_proxy passes the session's proxy. Returns the answer text (the bytes up
  // to the first zero byte), "" when the request failed.
  std::string post_form(const std::string& code, const std::string& a1 = "",
                        const std::string& a2 = "", const std::string& a3 = "",
                        const std::string& a4 = "", bool with_proxy = false) const;

 private:
  SessionState* state_;
  Prompter* prompter_;
};

}  // namespace corvane
