#pragma once
// A loopback web server that speaks the space-login markers: a home page per account
// with the content frame, the frame's gly_dl form, and captcha images. Tests set how it
// behaves (captcha wanted, how a wrong captcha is answered, ...) and read back every
// request it received. It serves every host of the domain "corvane.localhost:PORT".
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace corvane::test {

struct ScriptedRequest {
  std::string host, method, target, body, cookie;
};

struct SpaceBehaviour {
  std::string account = "demo";
  std::string password = "pw";      // GBK
  std::string frame_path = "/cx/kj.aspx?dlmc=demo";
  bool frame_marker = true;         // the home page names the frame
  bool captcha = false;             // the first password post is answered with a captcha
  std::string captcha_code = "abcd";
  bool wrong_captcha_asks_again = true;  // a wrong captcha answer carries a new captcha
  bool wrong_captcha_only = false;  // every post is answered with "验证码不正确" alone
  bool empty_post_answer = false;   // the frame answers posts with an empty body
};

// The five fields of a space form post ("Yz0=...&Yz1=...": values are not encoded, so
// each field runs up to the next field's name).
std::vector<std::string> form_fields(const std::string& body);

class ScriptedSpaceServer {
 public:
  // Consulted first for every request; an answer it returns is served as the body (GBK
  // HTML), nullopt falls through to the built-in login pages.
  using Handler = std::function<std::optional<std::string>(const ScriptedRequest&)>;

  ScriptedSpaceServer();
  ~ScriptedSpaceServer();
  ScriptedSpaceServer(const ScriptedSpaceServer&) = delete;
  ScriptedSpaceServer& operator=(const ScriptedSpaceServer&) = delete;

  int port() const { return port_; }
  std::string domain() const;  // "corvane.localhost:PORT"
  void set_behaviour(const SpaceBehaviour& b);
  void set_handler(Handler handler);
  // "http://demo.corvane.localhost:PORT/" for the default account.
  std::string home_url(const std::string& account = "demo") const;
  std::vector<ScriptedRequest> requests() const;
  std::vector<ScriptedRequest> posts() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  SpaceBehaviour behaviour_;
  Handler handler_;
  std::vector<ScriptedRequest> requests_;
};

}  // namespace corvane::test
