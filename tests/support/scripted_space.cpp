#include "tests/support/scripted_space.h"

#include <httplib.h>

#include "tests/support/gbk.h"
#include "text/gbk_text.h"

namespace corvane::test {

std::vector<std::string> form_fields(const std::string& body) {
  std::vector<std::string> f(5);
  for (int i = 0; i < 5; ++i) {
    std::string left = (i ? "&Yz" : "Yz") + std::to_string(i) + "=";
    std::string right = i < 4 ? "&Yz" + std::to_string(i + 1) + "=" : "";
    std::size_t a = body.find(left);
    if (a == std::string::npos) continue;
    a += left.size();
    std::size_t b = right.empty() ? body.size() : body.find(right, a);
    f[i] = body.substr(a, b == std::string::npos ? std::string::npos : b - a);
  }
  return f;
}

namespace {

const char* GBK_HTML = "text/html; charset=gb2312";

}  // namespace

ScriptedSpaceServer::ScriptedSpaceServer() : server_(std::make_unique<httplib::Server>()) {
  auto record = [this](const httplib::Request& req) {
    std::lock_guard lock(mutex_);
    requests_.push_back({req.get_header_value("Host"), req.method, req.target, req.body,
                         req.get_header_value("Cookie")});
    return behaviour_;
  };
  // The test's handler goes first. It runs inside the method handlers, not before
  // routing, because only there has the server read a post's body.
  auto answered = [this](const httplib::Request& req, httplib::Response& res) {
    Handler h;
    {
      std::lock_guard lock(mutex_);
      h = handler_;
    }
    if (!h) return false;
    ScriptedRequest r{req.get_header_value("Host"), req.method, req.target, req.body,
                      req.get_header_value("Cookie")};
    std::optional<std::string> answer = h(r);
    if (!answer) return false;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(r);
    }
    res.set_content(*answer, GBK_HTML);
    return true;
  };
  auto sub_domain = [this](const std::string& host) {
    std::string suffix = "." + domain();
    if (host.size() <= suffix.size() || host.compare(host.size() - suffix.size(), suffix.size(),
                                                     suffix) != 0)
      return std::string();
    return host.substr(0, host.size() - suffix.size());
  };

  server_->Get(R"(/.*)", [=, this](const httplib::Request& req, httplib::Response& res) {
    if (answered(req, res)) return;
    SpaceBehaviour b = record(req);
    std::string account = sub_domain(req.get_header_value("Host"));
    if (req.path == "/sjzx/cv_vf_img.aspx") {
      res.set_content(std::string("\x89PNG\r\n\x1A\n-captcha-", 17), "image/png");
      return;
    }
    if (account != b.account) {
      res.set_content(gbk("<html><body>空间不存在，请检查地址输入是否正确</body></html>"), GBK_HTML);
      return;
    }
    res.set_header("Set-Cookie", "ASP.NET_SessionId=s" + std::to_string(port_) + "; path=/");
    std::string frame = b.frame_marker ? "<iframe id=\"frxcx\" src=\"http://" + b.account + "." +
                                             domain() + b.frame_path + "\" width=\"100%\"></iframe>"
                                       : "<p>frame missing</p>";
    res.set_content(gbk("<html><head><title>个人空间</title></head><body>") + frame +
                        "</body></html>",
                    GBK_HTML);
  });

  server_->Post(R"(/.*)", [=](const httplib::Request& req, httplib::Response& res) {
    if (answered(req, res)) return;
    SpaceBehaviour b = record(req);
    if (b.empty_post_answer) return;
    std::vector<std::string> f = form_fields(req.body);
    if (f[0] != "gly_dl") {
      res.set_content("unknown", GBK_HTML);
      return;
    }
    const std::string ask = "<script>parent._CK.yzck.z.a();</script>";
    const std::string wrong = gbk("<script>alert('验证码不正确');</script>");
    if (b.wrong_captcha_only) {
      res.set_content(wrong, GBK_HTML);
      return;
    }
    if (b.captcha) {
      if (f[2].empty()) {
        res.set_content(ask, GBK_HTML);
        return;
      }
      if (f[2] != b.captcha_code) {
        res.set_content(wrong + (b.wrong_captcha_asks_again ? ask : ""), GBK_HTML);
        return;
      }
    }
    if (f[1] != b.password) {
      res.set_content(gbk("<script>alert('管理密码输入不正确！请重新输入');</script>"), GBK_HTML);
      return;
    }
    res.set_content(gbk("<script>parent.location.reload();</script>"), GBK_HTML);
  });

  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ScriptedSpaceServer::~ScriptedSpaceServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string ScriptedSpaceServer::domain() const {
  return "corvane.localhost:" + std::to_string(port_);
}

void ScriptedSpaceServer::set_handler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::string ScriptedSpaceServer::home_url(const std::string& account) const {
  return "http://" + account + "." + domain() + "/";
}

void ScriptedSpaceServer::set_behaviour(const SpaceBehaviour& b) {
  std::lock_guard lock(mutex_);
  behaviour_ = b;
}

std::vector<ScriptedRequest> ScriptedSpaceServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<ScriptedRequest> ScriptedSpaceServer::posts() const {
  std::vector<ScriptedRequest> out;
  for (auto& r : requests())
    if (r.method == "POST") out.push_back(r);
  return out;
}

}  // namespace corvane::test
