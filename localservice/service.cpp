// The local service: the HTTP server, routing by host, sessions and the pieces every
// page shares.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <random>
#include <thread>

#include "localservice/captcha.h"
#include "localservice/local_service.h"
#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"

namespace corvane {

namespace local {

namespace {

constexpr const char* GBK_HTML = "text/html; charset=gb2312";
// The whole request body of an upload is held while it is checked; a little more than
// the file limit leaves room for the multipart framing.
constexpr std::size_t MAX_BODY = static_cast<std::size_t>(UPLOAD_LIMIT) + 1024 * 1024;

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

void send_page(Response& res, const std::string& html, int status) {
  res.status = status;
  res.set_content(html, GBK_HTML);
}

std::string page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n"
         "<title>" +
         title + "</title>\r\n<link href=\"/css/cv.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n"
                 "</head>\r\n<body>\r\n" +
         body + "\r\n</body>\r\n</html>\r\n";
}

std::string alert_answer(const std::string& message) {
  return "<script type=\"text/javascript\">alert('" + message + "');</script>";
}

Site::Site(SiteConfig config) : config_(std::move(config)) {}

int64_t Site::now() const {
  if (config_.clock) return config_.clock();
  return static_cast<int64_t>(std::time(nullptr));
}

bool Site::open(std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(config_.data_dir / "files", ec);
  if (ec) {
    if (error) *error = "cannot create " + (config_.data_dir / "files").string() + ": " + ec.message();
    return false;
  }
  if (!store_.open((config_.data_dir / "corvane.db").string(), error)) return false;
  // File contents that no record names are leftovers of an upload cut short.
  std::vector<std::string> known = store_.all_blobs();
  std::sort(known.begin(), known.end());
  for (const auto& entry : std::filesystem::directory_iterator(config_.data_dir / "files", ec)) {
    std::string name = entry.path().filename().string();
    if (!std::binary_search(known.begin(), known.end(), name))
      std::filesystem::remove(entry.path(), ec);
  }
  maintain();
  return true;
}

void Site::maintain() {
  const int64_t t = now();
  last_maintenance_ = t;
  for (const std::string& blob : store_.purge_deleted(t - KEEP_DELETED_SECONDS)) {
    std::error_code ec;
    std::filesystem::remove(blob_path(blob), ec);
  }
  store_.purge_sessions(t - 2 * 24 * 3600);
}

std::filesystem::path Site::blob_path(const std::string& blob) const {
  return config_.data_dir / "files" / blob;
}

void Site::install(httplib::Server& server) {
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  server.set_payload_max_length(MAX_BODY);
  server.set_keep_alive_timeout(5);
  server.set_read_timeout(30);
  server.set_write_timeout(30);
  server.set_pre_routing_handler([](const Request& req, Response&) {
    // The request object is the server's own, not a constant one; the const is only
    // the handler's view of it.
    auto& headers = const_cast<Request&>(req).headers;
    auto it = headers.find("Content-Type");
    if (it != headers.end() && starts_with_ci(it->second, "multipart/")) {
      std::string value = it->second;
      headers.erase(it);
      headers.emplace(RAW_CONTENT_TYPE_HEADER, value);
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  auto handler = [this](const Request& req, Response& res) { route(req, res); };
  server.Get(".*", handler);
  server.Post(".*", handler);
  server.set_error_handler([](const Request&, Response& res) {
    if (!res.body.empty()) return;
    std::string what = res.status == 413 ? "413 Request Entity Too Large"
                                         : std::to_string(res.status);
    res.set_content(page(what, "<h3>" + what + "</h3><p>" + texts::BAD_REQUEST + "</p>"),
                    GBK_HTML);
  });
  server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content(page("500", std::string("<h3>500</h3><p>") + texts::SERVER_ERROR + "</p>"),
                    GBK_HTML);
  });
}

void Site::route(const Request& req, Response& res) {
  if (now() - last_maintenance_ > 3600) maintain();
  const std::string host = host_name(req.get_header_value("Host"));
  const std::string domain = host_name(config_.domain);
  if (host == host_name(config_.main_host)) {
    if (req.method == "POST") main_post(req, res);
    else main_get(req, res);
    return;
  }
  if (host == host_name(config_.shortener_host)) {
    shortener(req, res);
    return;
  }
  if (host == domain) {
    res.set_redirect("http://" + config_.main_host + "/");
    return;
  }
  if (ends_with(host, "." + domain)) {
    std::string label = host.substr(0, host.size() - domain.size() - 1);
    if (label.find('.') == std::string::npos) {
      if (label.rfind("cv-", 0) == 0) {
        if (req.method == "POST") {
          upload(label.substr(3), req, res);
        } else {
          send_page(res, page("Corvane upload server", "<p>Corvane upload server " +
                                                           html_escape(label) + "</p>"));
        }
        return;
      }
      if (std::optional<Account> account = store_.account(label)) {
        if (req.method == "POST") space_post(*account, req, res);
        else space_get(*account, req, res);
        return;
      }
      // An unknown space: the home page says so, as the client expects.
      send_page(res, page(texts::SPACE_MISSING, std::string("<p>") + texts::SPACE_MISSING +
                                                    "</p>"));
      return;
    }
  }
  send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"),
            404);
}

Session Site::session_for(const Request& req, Response& res, const std::string& kind,
                          int64_t account_id) {
  const std::string id = cookie_value(req.get_header_value("Cookie"), SESSION_COOKIE);
  const int64_t t = now();
  std::optional<Session> found;
  if (!id.empty()) {
    store_.update_session(id, [&](Session& s) {
      if (s.kind != kind || (kind == "space" && s.account_id != account_id)) return;
      s.last_seen = t;
      s.ip = req.remote_addr;
      found = s;
    });
  }
  if (found) return *found;
  Session s;
  s.id = random_token(24);
  s.kind = kind;
  s.account_id = kind == "space" ? account_id : 0;
  s.ip = req.remote_addr;
  s.created = s.last_seen = t;
  // A new session hears only of changes made from now on.
  if (kind == "space") s.change_seen = store_.last_change_serial(account_id);
  store_.save_session(s);
  res.set_header("Set-Cookie", std::string(SESSION_COOKIE) + "=" + s.id + "; path=/; HttpOnly");
  return s;
}

void Site::captcha_image(Session& session, const std::string& purpose, Response& res) {
  const std::string code = new_captcha_code();
  store_.update_session(session.id, [&](Session& s) { s.captcha = purpose + ":" + code; });
  session.captcha = purpose + ":" + code;
  std::random_device device;
  uint64_t seed = (static_cast<uint64_t>(device()) << 32) ^ device();
  res.set_header("Cache-Control", "no-cache, no-store");
  res.set_content(::corvane::local::captcha_image(code, seed), "image/bmp");
}

bool Site::take_captcha(Session& session, const std::string& purpose, const std::string& answer) {
  bool ok = false;
  store_.update_session(session.id, [&](Session& s) {
    const std::string prefix = purpose + ":";
    ok = s.captcha.rfind(prefix, 0) == 0 && captcha_matches(s.captcha.substr(prefix.size()), answer);
    // Each picture answers one attempt only.
    s.captcha.clear();
    session = s;
  });
  return ok;
}

std::string Site::space_host(const Account& account) const {
  return account.name + "." + config_.domain;
}

std::string Site::upload_host(const Account& account) const {
  return "cv-" + account.upload_label + "." + config_.domain;
}

std::string Site::download_address(const Account& account, const File& f) const {
  return "http://" + space_host(account) + "/xz/" + std::to_string(f.id) + "/" + f.access_key +
         "/" + percent_encode(f.name);
}

double Site::free_mb(const Account& account) {
  double used = static_cast<double>(store_.used_bytes(account.id)) / (1024.0 * 1024.0);
  double free = static_cast<double>(account.quota_mb) - used;
  return free < 0 ? 0 : free;
}

void Site::record_change(const Account& account, const char* code, int64_t directory_id) {
  store_.add_change(account.id, code, directory_id, now());
}

}  // namespace local

// ---- the embedding API

struct LocalService::Impl {
  httplib::Server server;
  std::unique_ptr<local::Site> site;
  std::thread thread;
  int port = 0;
  std::atomic<bool> listen_ended{false};
  std::mutex stop_mutex;
  bool stopped = false;
};

LocalService::LocalService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LocalService::~LocalService() { stop(); }

std::unique_ptr<LocalService> LocalService::start(const Options& options, std::string* error) {
  auto fail = [&](const std::string& message) -> std::unique_ptr<LocalService> {
    if (error) *error = message;
    return nullptr;
  };
  if (options.data_dir.empty()) return fail("no data directory given");
  auto impl = std::make_unique<Impl>();
  if (options.port == 0) {
    impl->port = impl->server.bind_to_any_port("127.0.0.1");
    if (impl->port <= 0) return fail("cannot bind a port on 127.0.0.1");
  } else {
    if (!impl->server.bind_to_port("127.0.0.1", options.port))
      return fail("cannot bind 127.0.0.1:" + std::to_string(options.port));
    impl->port = options.port;
  }

  local::SiteConfig config;
  config.domain = options.domain.empty() ? "corvane.localhost" : options.domain;
  if (config.domain.find(':') == std::string::npos && impl->port != 80)
    config.domain += ":" + std::to_string(impl->port);
  config.main_host = options.main_host.empty() ? "www." + config.domain : options.main_host;
  config.shortener_host =
      options.shortener_host.empty() ? "s." + config.domain : options.shortener_host;
  config.data_dir = options.data_dir;
  config.clock = options.clock;

  impl->site = std::make_unique<local::Site>(config);
  std::string why;
  try {
    if (!impl->site->open(&why)) return fail(why);
    if (options.seed_demo) impl->site->seed_demo();
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  impl->site->install(impl->server);
  Impl* raw = impl.get();
  impl->thread = std::thread([raw] {
    raw->server.listen_after_bind();
    raw->listen_ended = true;
  });
  while (!impl->server.is_running() && !impl->listen_ended)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!impl->server.is_running()) {
    impl->thread.join();
    return fail("the server did not start listening");
  }
  return std::unique_ptr<LocalService>(new LocalService(std::move(impl)));
}

std::string LocalService::domain() const { return impl_->site->config().domain; }
std::string LocalService::main_host() const { return impl_->site->config().main_host; }
std::string LocalService::shortener_host() const { return impl_->site->config().shortener_host; }
int LocalService::port() const { return impl_->port; }

void LocalService::stop() {
  if (!impl_) return;
  std::lock_guard lock(impl_->stop_mutex);
  if (impl_->stopped) return;
  impl_->stopped = true;
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

}  // namespace corvane
