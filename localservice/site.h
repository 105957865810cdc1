#pragma once
// The running web site behind every host of the service: it routes each request by its
// Host header to the space pages, the upload servers, the main host (back end and
// registration) or the shortener, keeps sessions in cookies and its records in the
// Store. One Site serves one data directory.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "localservice/store.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace corvane::local {

struct SiteConfig {
  std::string domain;          // spaces are "<account>." + domain (port included)
  std::string main_host;       // back end and registration
  std::string shortener_host;  // address shortener
  std::filesystem::path data_dir;
  std::function<int64_t()> clock;  // seconds since the epoch; empty = the real clock
};

inline constexpr int64_t UPLOAD_LIMIT = 15 * 1024 * 1024;  // bytes per file
inline constexpr int64_t KEEP_DELETED_SECONDS = 5 * 24 * 3600;
inline constexpr int64_t ONLINE_SECONDS = 10 * 60;  // a visitor counts as online this long
inline constexpr int DOWNLOADS_PER_PAGE = 20;
inline constexpr int64_t FREE_QUOTA_MB = 1000;
inline constexpr const char* SESSION_COOKIE = "ASP.NET_SessionId";
// httplib parses multipart bodies by itself and refuses the ones it does not like; the
// upload form of the client is not quite standard (its closing delimiter comes before
// its last part), so the service reads such bodies raw and parses them itself. The
// content type moves to this header before httplib looks at it.
inline constexpr const char* RAW_CONTENT_TYPE_HEADER = "X-Corvane-Content-Type";

using Request = httplib::Request;
using Response = httplib::Response;

class Site {
 public:
  explicit Site(SiteConfig config);

  bool open(std::string* error);
  // Creates the demo space (account "demo", password "demo") unless it exists.
  void seed_demo();
  void install(httplib::Server& server);

  const SiteConfig& config() const { return config_; }
  Store& store() { return store_; }
  int64_t now() const;

 private:
  void route(const Request& req, Response& res);

  // Space hosts (space_pages.cpp, space_forms.cpp).
  void space_get(const Account& account, const Request& req, Response& res);
  void space_post(const Account& account, const Request& req, Response& res);
  void home_page(const Account& account, const Request& req, Response& res);
  void frame_page(const Account& account, const Request& req, Response& res);
  void status_page(const Account& account, const Request& req, Response& res);
  std::string directory_list_page(const Account& account);
  std::string file_list_page(const Account& account, const Directory& d, bool owner);
  std::string online_page(const Account& account, const Session& session);
  std::string download_records_page(const Account& account, int64_t page);
  std::string form_operation(const Account& account, Session& session,
                             const std::string (&f)[5]);
  std::string login_operation(const Account& account, Session& session,
                              const std::string& password, const std::string& captcha);
  std::string create_directory(const Account& account, const std::string (&f)[5]);
  std::string edit_directory(const Account& account, const std::string (&f)[5]);
  std::string edit_item(const Account& account, const std::string (&f)[5]);
  std::string delete_item(const Account& account, const std::string (&f)[5]);
  std::string delete_directory(const Account& account, const std::string (&f)[5]);
  std::string open_directory(const Account& account, Session& session,
                             const std::string (&f)[5]);

  // Upload servers, downloads and the shortener (transfers.cpp).
  void upload(const std::string& label, const Request& req, Response& res);
  void download(const Account& account, const Request& req, Response& res);
  void note_page(const Request& req, Response& res);
  void shortener(const Request& req, Response& res);

  // The main host (backend.cpp).
  void main_get(const Request& req, Response& res);
  void main_post(const Request& req, Response& res);
  std::string backend_login_page(const std::string& account, Session& session);
  std::string backend_login_post(const std::string& account, Session& session,
                                 const std::string& body);
  std::string recover_page(Session& session, const std::string& notice_override);
  std::string recover_post(Session& session, const std::string& body);
  std::string register_page(Session& session);
  void register_post(Session& session, const std::string& body, Response& res);

  // Shared (service.cpp).
  // The session of the request's cookie when it is of this kind (and space), else a
  // new one with its cookie set on the answer. Refreshes the time last seen.
  Session session_for(const Request& req, Response& res, const std::string& kind,
                      int64_t account_id);
  void captcha_image(Session& session, const std::string& purpose, Response& res);
  // Checks and uses up the session's captcha of the purpose.
  bool take_captcha(Session& session, const std::string& purpose, const std::string& answer);
  std::string space_host(const Account& account) const;
  std::string upload_host(const Account& account) const;
  std::string download_address(const Account& account, const File& f) const;
  double free_mb(const Account& account);
  void record_change(const Account& account, const char* code, int64_t directory_id);
  std::filesystem::path blob_path(const std::string& blob) const;
  void maintain();

  SiteConfig config_;
  Store store_;
  std::atomic<int64_t> last_maintenance_{0};
};

// Writes a GBK page.
void send_page(Response& res, const std::string& html, int status = 200);
// A complete small page around a body.
std::string page(const std::string& title, const std::string& body);
// A script answer that shows a message: <script>alert('...');</script>.
std::string alert_answer(const std::string& message);

}  // namespace corvane::local
