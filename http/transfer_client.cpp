#include "http/transfer_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

bool curl_ready() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

// ---------------------------------------------------------------------------------------
// Progress record and monitor thread

// Shared by the transferring thread, which writes done and elapsed, and the monitor,
// which reads them. Each 64-bit value is one atomic so the monitor never sees half an
// update. transfer_gone is set by a scope guard when the transferring operation returns,
// so the monitor also ends when the end marker never comes.
struct ProgressRecord {
  TransferProgressCallback callback;
  std::int32_t user = 0;
  std::atomic<std::int64_t> total{0};
  std::atomic<std::int64_t> done{0};
  std::atomic<std::int64_t> elapsed{0};
  std::atomic<bool> transfer_gone{false};
  // Written by the transferring thread only.
  Clock::time_point last_time{};
  Clock::duration elapsed_sum{};

  // Adds the time since the last note to elapsed and stores done with it.
  void note(std::int64_t new_done) {
    auto now = Clock::now();
    elapsed_sum += now - last_time;
    last_time = now;
    elapsed.store(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed_sum).count());
    done.store(new_done);
  }
};

void monitor_progress(std::shared_ptr<ProgressRecord> record) {
  std::int64_t previous = 0;
  std::int64_t remembered = 0;
  try {
    for (;;) {
      // Read the guard flag before done: the end marker is stored before the flag, so
      // seeing the flag set guarantees that this read of done sees the marker.
      bool gone = record->transfer_gone.load();
      std::int64_t done = record->done.load();
      if (done >= 0 && done > previous) {
        previous = done;
        std::int64_t total = record->total.load();
        std::int64_t elapsed = record->elapsed.load();
        record->callback(record->user, total, done, elapsed);
        remembered = elapsed + 50;
      } else if (done == TRANSFER_END_MARKER) {
        std::int64_t total = record->total.load();
        std::int64_t final_done = total;
        std::int64_t elapsed = remembered;
        record->callback(record->user, total, final_done, elapsed);
        break;
      } else if (gone) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  } catch (...) {
    // A throwing callback ends the reports, not the program.
  }
}

// Makes the record and starts its monitor; null (no reports) without a callback or
// when no thread can be made.
std::shared_ptr<ProgressRecord> start_monitor(const TransferProgressCallback& callback,
                                              std::int32_t user, std::int64_t total) {
  if (!callback) return nullptr;
  auto record = std::make_shared<ProgressRecord>();
  record->callback = callback;
  record->user = user;
  record->total.store(total);
  record->last_time = Clock::now();
  try {
    std::thread(monitor_progress, record).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return record;
}

// ---------------------------------------------------------------------------------------
// Small text helpers

// Percent-escapes what may not stand in a request target as it goes on the wire: blanks,
// control characters and every non-ASCII byte (after the GBK text became UTF-8).
std::string escape_path(std::string_view gbk_path) {
  static const char* hex = "0123456789ABCDEF";
  std::string utf8 = platform::gbk_to_utf8(gbk_path);
  std::string out;
  for (unsigned char c : utf8) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool valid_host(std::string_view host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
  });
}

bool valid_method(std::string_view method) {
  return std::all_of(method.begin(), method.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

std::string header_name(std::string_view line) {
  auto colon = line.find(':');
  return ascii_lower(trim(line.substr(0, colon)));
}

std::string cut_last(std::string text, int trim_count) {
  if (trim_count <= 0) return text;
  std::size_t n = static_cast<std::size_t>(trim_count);
  return n >= text.size() ? std::string() : text.substr(0, text.size() - n);
}

std::string random_suffix() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  unsigned long long v = (static_cast<unsigned long long>(rd()) << 32) ^ rd() ^ (++counter);
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", v);
  return buf;
}

bool is_device_name(std::string_view stem) {
  std::string s = ascii_upper(stem);
  if (s == "CON" || s == "PRN" || s == "AUX" || s == "NUL") return true;
  return s.size() == 4 && (s.starts_with("COM") || s.starts_with("LPT")) && s[3] >= '1' &&
         s[3] <= '9';
}

}  // namespace

std::int64_t upload_piece_length(std::int64_t body_length, std::int64_t offset) {
  if (offset < 0 || offset >= body_length) return 0;
  std::int64_t first = body_length % UPLOAD_PIECE_BYTES;
  if (offset == 0 && first > 0) return first;
  return std::min(UPLOAD_PIECE_BYTES, body_length - offset);
}

TransferAddress transfer_address(std::string_view url) {
  TransferAddress parts;
  std::string lower = ascii_lower(url);
  std::size_t scheme = 0;
  if (lower.starts_with("http://"))
    scheme = 7;
  else if (lower.starts_with("https://"))
    scheme = 8;
  parts.secure = lower.starts_with("https");
  std::string host_text = lower.substr(scheme, lower.find('/', scheme) - scheme);
  auto colon = host_text.find(':');
  parts.host = host_text.substr(0, colon);
  long port = 0;
  if (colon != std::string::npos) {
    long long n = to_integer(std::string_view(host_text).substr(colon + 1));
    port = (n < 0 || n > 65535) ? -1 : static_cast<long>(n);
  }
  parts.port = port != 0 ? port : (parts.secure ? 443 : 80);
  // The host is looked for after the scheme, so that a host such as "p" or "t" is not
  // found inside "http" itself.
  parts.path.assign(1, '/');
  if (!parts.host.empty()) {
    std::size_t at = find_text(url, parts.host, static_cast<long>(scheme) + 1, true);
    if (at > 0) {
      std::size_t slash = url.find('/', at - 1 + parts.host.size());
      if (slash != std::string_view::npos) parts.path = std::string(url.substr(slash));
    }
  }
  return parts;
}

std::string safe_file_name(std::string_view gbk_name) {
  static constexpr std::string_view unsafe = "\\/:*?\"<>|";
  std::string out;
  for (std::size_t i = 0; i < gbk_name.size();) {
    std::size_t n = char_length(gbk_name, i);
    unsigned char c = static_cast<unsigned char>(gbk_name[i]);
    if (n == 1 && (c < 0x20 || c == 0x7F || unsafe.find(static_cast<char>(c)) != unsafe.npos))
      out += '_';
    else
      out.append(gbk_name.substr(i, n));
    i += n;
  }
  // Trailing dots and spaces: only single-byte characters can be either.
  for (std::size_t i = out.size(); i > 0 && (out[i - 1] == '.' || out[i - 1] == ' '); --i) {
    // A trail byte is never "." or " " (trail bytes are 0x40 and above), so this never
    // cuts a double-byte character.
    out[i - 1] = '_';
  }
  if (out.empty()) return "_";
  if (is_device_name(std::string_view(out).substr(0, out.find('.')))) out.insert(out.begin(), '_');
  return out;
}

// ---------------------------------------------------------------------------------------
// Handles

struct TransferClient::Session {
  CURLM* multi = nullptr;
  CURLSH* share = nullptr;  // the session's own cookies
  std::string proxy;        // fixed when the session is made
  long connect_ms = DEFAULT_CONNECT_TIMEOUT_MS;
  long stall_ms = DEFAULT_STALL_TIMEOUT_MS;

  ~Session() {
    if (multi) curl_multi_cleanup(multi);
    if (share) curl_share_cleanup(share);
  }
};

struct TransferClient::Connection {
  std::string host;
  long port = 0;
  bool secure = false;
};

struct TransferClient::Request {
  enum class Sink { none, file, memory };

  CURL* easy = nullptr;
  CURLM* multi = nullptr;  // the session's, while the easy handle is added to it
  std::string method;
  std::string path;
  std::vector<std::string> header_lines;  // as add_header made them
  curl_slist* header_list = nullptr;

  // Options set through set_option; negative = the session's value.
  long connect_ms = -1;
  long stall_ms = -1;
  long redirect_policy = 1;
  long max_redirects = DEFAULT_MAX_REDIRECTS;
  std::uint32_t disabled = 0;
  long max_header_bytes = DEFAULT_MAX_RESPONSE_HEADER_BYTES;

  // The transfer under way.
  bool sent_before = false;
  bool in_multi = false;
  bool finished = false;
  CURLcode result = CURLE_OK;
  std::string body;
  std::int64_t handed = 0;
  bool follow_redirects = false;
  int redirects_seen = 0;
  bool connected = false;
  Clock::time_point last_activity{};
  curl_off_t last_ul = 0;
  curl_off_t last_dl = 0;
  std::string header_block;
  long block_bytes = 0;
  long block_status = 0;
  bool block_has_location = false;
  bool headers_complete = false;
  bool paused = false;
  Sink sink = Sink::none;
  std::FILE* file = nullptr;
  bool write_failed = false;
  std::int64_t written = 0;
  std::string* memory = nullptr;
  // Records of the monitors of the upload (send) and of the download (receive_to_file).
  std::shared_ptr<ProgressRecord> upload_progress;
  std::shared_ptr<ProgressRecord> download_progress;

  ~Request() {
    detach();
    if (easy) curl_easy_cleanup(easy);
    if (header_list) curl_slist_free_all(header_list);
  }

  void detach() {
    if (in_multi) curl_multi_remove_handle(multi, easy);
    in_multi = false;
  }

  void finish(CURLcode code) {
    detach();
    finished = true;
    result = code;
  }

  void touch() { last_activity = Clock::now(); }

  // --- libcurl callbacks -------------------------------------------------------------

  static size_t on_read(char* buffer, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    std::int64_t length = static_cast<std::int64_t>(r->body.size());
    std::int64_t piece = upload_piece_length(length, r->handed);
    piece = std::min<std::int64_t>(piece, static_cast<std::int64_t>(size * count));
    if (piece <= 0) return 0;
    // done reports the bytes handed over before the piece now going out.
    if (r->upload_progress) r->upload_progress->note(r->handed);
    std::memcpy(buffer, r->body.data() + r->handed, static_cast<size_t>(piece));
    r->handed += piece;
    r->touch();
    if (r->handed == length && r->upload_progress)
      r->upload_progress->done.store(TRANSFER_END_MARKER);
    return static_cast<size_t>(piece);
  }

  static int on_seek(void* user, curl_off_t offset, int origin) {
    // libcurl rewinds to send the body again (a 307/308 redirect, authentication).
    auto* r = static_cast<Request*>(user);
    if (origin != SEEK_SET || offset != 0) return CURL_SEEKFUNC_CANTSEEK;
    r->handed = 0;
    return CURL_SEEKFUNC_OK;
  }

  static int on_prereq(void* user, char*, char*, int, int) {
    auto* r = static_cast<Request*>(user);
    r->connected = true;
    r->touch();
    // Without a body, the request going out is the whole upload.
    if (r->body.empty() && r->upload_progress)
      r->upload_progress->done.store(TRANSFER_END_MARKER);
    return CURL_PREREQFUNC_OK;
  }

  static int on_progress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* r = static_cast<Request*>(user);
    if (dlnow != r->last_dl || ulnow != r->last_ul) {
      r->last_dl = dlnow;
      r->last_ul = ulnow;
      r->touch();
    }
    return 0;
  }

  static size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t n = size * count;
    std::string_view line(data, n);
    r->touch();
    if (line.starts_with("HTTP/")) {
      // Every answer of the chain (100 Continue, redirects) starts a new block; only the
      // final answer's block is kept.
      r->header_block.clear();
      r->block_bytes = 0;
      r->block_has_location = false;
      r->headers_complete = false;
      auto space = line.find(' ');
      r->block_status = space == line.npos ? 0 : static_cast<long>(to_integer(line.substr(space)));
    } else if (r->headers_complete) {
      return n;  // trailers after a chunked body
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    r->block_bytes += static_cast<long>(line.size() + 2);
    if (r->block_bytes > r->max_header_bytes) return 0;  // fails the transfer
    r->header_block.append(line);
    r->header_block += "\r\n";
    if (!line.empty()) {
      if (header_name(line) == "location") r->block_has_location = true;
      return n;
    }
    bool interim = r->block_status >= 100 && r->block_status < 200;
    bool redirect = r->follow_redirects && r->block_has_location && r->block_status >= 300 &&
                    r->block_status < 400 && r->redirects_seen < r->max_redirects;
    if (redirect) {
      ++r->redirects_seen;
      r->connected = false;
    } else if (!interim) {
      r->headers_complete = true;
    }
    return n;
  }

  static size_t on_write(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t n = size * count;
    r->touch();
    switch (r->sink) {
      case Sink::none:
        // The body has begun, so the header block is final. Hold the body in the
        // connection until someone asks for it.
        r->headers_complete = true;
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
      case Sink::memory:
        r->memory->append(data, n);
        return n;
      case Sink::file:
        for (size_t at = 0; at < n;) {
          size_t piece = std::min<size_t>(n - at, DOWNLOAD_PIECE_BYTES);
          if (std::fwrite(data + at, 1, piece, r->file) != piece) {
            r->write_failed = true;
            return 0;
          }
          at += piece;
          r->written += static_cast<std::int64_t>(piece);
          if (r->download_progress) r->download_progress->note(r->written);
        }
        return n;
    }
    return 0;
  }

  // Runs the transfer until stop() holds or it ends; a connected transfer in which no
  // byte moved for the stall limit is abandoned.
  template <class Stop>
  void drive(long stall_ms, Stop stop) {
    while (!finished && !stop()) {
      int running = 0;
      const auto activity_before = last_activity;
      CURLMcode mc = curl_multi_perform(multi, &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) finish(msg->data.result);
      if (mc != CURLM_OK && !finished) finish(CURLE_FAILED_INIT);
      if (finished || stop()) break;
      int wait_ms = 100;
      if (connected && stall_ms > 0) {
        auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                           last_activity);
        if (quiet.count() >= stall_ms) {
          finish(CURLE_OPERATION_TIMEDOUT);
          break;
        }
        wait_ms = static_cast<int>(std::min<long long>(wait_ms, stall_ms - quiet.count()));
      }
      // While bytes keep moving, go straight on; wait for the socket only when idle.
      if (last_activity == activity_before)
        curl_multi_poll(multi, nullptr, 0, std::max(wait_ms, 1), nullptr);
    }
  }

  // Lets a body that the header phase held back flow into the current sink.
  void resume() {
    touch();
    if (!paused || finished) return;
    paused = false;
    CURLcode rc = curl_easy_pause(easy, CURLPAUSE_CONT);
    if (rc != CURLE_OK) finish(rc);
  }
};

namespace {

// Marks the transfer gone when an operation returns, whichever way it returns.
struct ProgressGuard {
  std::shared_ptr<ProgressRecord>& slot;
  ~ProgressGuard() {
    if (slot) slot->transfer_gone.store(true);
    slot.reset();
  }
};

}  // namespace

// -----------------------------------------------------------------------------------------
// TransferClient

TransferClient::TransferClient() { available = curl_ready(); }

TransferClient::~TransferClient() { close(); }

bool TransferClient::set_option(std::uint32_t option, std::uint32_t value) {
  if (!request_) return false;
  Request& r = *request_;
  long v = static_cast<long>(value);
  switch (option) {
    case OPTION_RESOLVE_TIMEOUT:
    case OPTION_CONNECT_TIMEOUT:
      r.connect_ms = v;
      return true;
    case OPTION_SEND_TIMEOUT:
    case OPTION_RECEIVE_TIMEOUT:
    case OPTION_RECEIVE_RESPONSE_TIMEOUT:
      r.stall_ms = v;
      return true;
    case OPTION_DISABLE_FEATURE:
      if (value & ~(DISABLE_COOKIES | DISABLE_REDIRECTS | DISABLE_AUTHENTICATION |
                    DISABLE_KEEP_ALIVE))
        return false;
      r.disabled |= value;
      return true;
    case OPTION_REDIRECT_POLICY:
      if (value > 2) return false;
      r.redirect_policy = v;
      return true;
    case OPTION_MAX_AUTOMATIC_REDIRECTS:
      r.max_redirects = v;
      return true;
    case OPTION_MAX_RESPONSE_HEADER_SIZE:
      if (value == 0 || value > 0x7FFFFFFF) return false;
      r.max_header_bytes = v;
      return true;
    default:
      return false;
  }
}

bool TransferClient::set_proxy(const std::string& server, const std::string& user,
                               const std::string& password) {
  settings_[0] = server;
  settings_[1] = user;
  settings_[2] = password;
  return available;
}

bool TransferClient::set_timeouts(int milliseconds) {
  if (!session_ || milliseconds < -1) return false;
  long ms = milliseconds <= 0 ? 0 : milliseconds;
  session_->connect_ms = ms;
  session_->stall_ms = ms;
  return true;
}

bool TransferClient::set_credentials(const std::string& user, const std::string& password) {
  settings_[3] = user;
  settings_[4] = password;
  return available;
}

bool TransferClient::open(const std::string& method, const std::string& url) {
  if (!available) return false;
  TransferAddress parts = transfer_address(url);
  std::string verb = method.empty() ? "GET" : ascii_upper(method);
  if (!session_) {
    auto session = std::make_unique<Session>();
    session->multi = curl_multi_init();
    session->share = curl_share_init();
    if (!session->multi || !session->share) return false;
    curl_share_setopt(session->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    session->proxy = platform::gbk_to_utf8(settings_[0]);
    session_ = std::move(session);
  }
  request_.reset();
  connection_.reset();
  CURL* easy = (valid_host(parts.host) && parts.port > 0 && valid_method(verb))
                   ? curl_easy_init()
                   : nullptr;
  if (!easy) {
    // Nothing half-made survives a failed open.
    session_.reset();
    return false;
  }
  connection_ = std::make_unique<Connection>();
  connection_->host = parts.host;
  connection_->port = parts.port;
  connection_->secure = parts.secure;
  request_ = std::make_unique<Request>();
  request_->easy = easy;
  request_->method = verb;
  request_->path = parts.path;
  return available;
}

bool TransferClient::add_header(const std::string& name, const std::string& value) {
  if (!request_) return false;
  std::string line = name + ":" + value;
  if (line.find_first_of("\r\n") != std::string::npos || trim(name).empty()) return false;
  auto& lines = request_->header_lines;
  std::string key = header_name(line);
  std::erase_if(lines, [&](const std::string& l) { return header_name(l) == key; });
  // An empty value removes the header, as the replace flag of the original call does.
  if (!trim(value).empty()) lines.push_back(line);
  return true;
}

bool TransferClient::send(std::string body, TransferProgressCallback callback,
                          std::int32_t user) {
  settings_[5].clear();
  settings_[6].clear();
  body_cached_ = false;
  if (!request_ || !session_ || !connection_) return false;
  Request& r = *request_;
  Session& s = *session_;

  // Start over on the same request object. A fresh easy handle rather than
  // curl_easy_reset, which in this libcurl leaks the cookie file list of the last setup;
  // connections are kept by the session's multi handle either way.
  r.detach();
  if (r.sent_before) {
    CURL* fresh = curl_easy_init();
    if (!fresh) return false;
    curl_easy_cleanup(r.easy);
    r.easy = fresh;
  }
  r.sent_before = true;
  CURL* easy = r.easy;
  if (r.header_list) curl_slist_free_all(r.header_list);
  r.header_list = nullptr;
  r.finished = false;
  r.result = CURLE_OK;
  r.body = std::move(body);
  r.handed = 0;
  r.redirects_seen = 0;
  r.connected = false;
  r.last_ul = r.last_dl = 0;
  r.header_block.clear();
  r.block_bytes = 0;
  r.block_status = 0;
  r.headers_complete = false;
  r.paused = false;
  r.sink = Request::Sink::none;
  r.multi = s.multi;

  std::string url = (connection_->secure ? "https://" : "http://") + connection_->host + ":" +
                    std::to_string(connection_->port) + escape_path(r.path);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // The request object speaks HTTP/1.1 only: an HTTP/2 answer would spell its header
  // names in lower case, and the header accessors look for them case-sensitively.
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  // libcurl reads the socket in large blocks; the body still reaches the file and the
  // progress record in pieces of at most DOWNLOAD_PIECE_BYTES (see on_write).
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 65536L);
  // Explicit, so that http_proxy and friends from the environment never apply.
  curl_easy_setopt(easy, CURLOPT_PROXY, s.proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  bool auth = !(r.disabled & DISABLE_AUTHENTICATION);
  if (auth && !settings_[1].empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings_[1].c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings_[2].c_str());
  }
  if (auth && !settings_[3].empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_USERNAME, settings_[3].c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, settings_[4].c_str());
  }
  if (!(r.disabled & DISABLE_COOKIES)) {
    curl_easy_setopt(easy, CURLOPT_SHARE, s.share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  }
  if (r.disabled & DISABLE_KEEP_ALIVE) curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  r.follow_redirects = !(r.disabled & DISABLE_REDIRECTS) && r.redirect_policy != 0;
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, r.follow_redirects ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, r.max_redirects);
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                   (connection_->secure && r.redirect_policy == 1) ? "https" : "http,https");
  long connect_ms = r.connect_ms >= 0 ? r.connect_ms : s.connect_ms;
  long stall_ms = r.stall_ms >= 0 ? r.stall_ms : s.stall_ms;
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect_ms);

  bool with_body = !((r.method == "GET" || r.method == "HEAD") && r.body.empty());
  if (!with_body) {
    if (r.method == "HEAD")
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    else
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(r.body.size()));
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Request::on_read);
    curl_easy_setopt(easy, CURLOPT_READDATA, &r);
    curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &Request::on_seek);
    curl_easy_setopt(easy, CURLOPT_SEEKDATA, &r);
    if (r.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.method.c_str());
  }
  // The request carries only what the caller added: libcurl's own Accept, Expect and
  // form Content-Type lines are switched off unless the caller set that header.
  auto has = [&](std::string_view name) {
    return std::any_of(r.header_lines.begin(), r.header_lines.end(),
                       [&](const std::string& l) { return header_name(l) == name; });
  };
  std::vector<std::string> lines = r.header_lines;
  if (!has("accept")) lines.push_back("Accept:");
  if (!has("expect")) lines.push_back("Expect:");
  if (with_body && !has("content-type")) lines.push_back("Content-Type:");
  for (const auto& line : lines) {
    curl_slist* next = curl_slist_append(r.header_list, line.c_str());
    if (!next) return false;
    r.header_list = next;
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r.header_list);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::on_header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::on_write);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Request::on_prereq);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &r);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Request::on_progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &r);

  r.upload_progress = start_monitor(callback, user, static_cast<std::int64_t>(r.body.size()));
  ProgressGuard guard{r.upload_progress};

  if (curl_multi_add_handle(s.multi, easy) != CURLM_OK) return false;
  r.in_multi = true;
  r.touch();
  r.drive(stall_ms, [&] { return r.headers_complete; });
  bool ok = r.headers_complete || (r.finished && r.result == CURLE_OK && !r.header_block.empty());
  if (!ok) {
    r.finish(r.finished ? r.result : CURLE_RECV_ERROR);
    return false;
  }
  settings_[5] = r.header_block;
  return available;
}

bool TransferClient::drive_body() {
  Request& r = *request_;
  long stall_ms = r.stall_ms >= 0 ? r.stall_ms : (session_ ? session_->stall_ms : 0);
  r.resume();
  r.drive(stall_ms, [] { return false; });
  r.sink = Request::Sink::none;
  return r.result == CURLE_OK;
}

bool TransferClient::receive_to_file(const std::string& directory, const std::string& file_name,
                                     TransferProgressCallback callback, std::int32_t user) {
  if (!platform::path_is_directory(directory)) return false;
  std::int64_t total = to_integer(header("Content-Length"));
  if (!request_ || !session_) return false;
  Request& r = *request_;
  if (total > 0) r.download_progress = start_monitor(callback, user, total);
  ProgressGuard guard{r.download_progress};
  if (total <= 0 || r.finished) return false;

  std::filesystem::path dir = platform::native_path(directory);
  std::filesystem::path target = dir / platform::native_path(safe_file_name(file_name));
  std::filesystem::path temp;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 8 && !file; ++attempt) {
    temp = dir / (".corvane-" + random_suffix() + ".part");
    file = std::fopen(temp.string().c_str(), "wbx");  // never opens an existing file
  }
  if (!file) return false;

  r.sink = Request::Sink::file;
  r.file = file;
  r.written = 0;
  r.write_failed = false;
  bool ok = drive_body() && !r.write_failed;
  curl_off_t length = -1;
  curl_easy_getinfo(r.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  ok = ok && r.written == (length >= 0 ? static_cast<std::int64_t>(length) : total);
  r.file = nullptr;
  ok = (std::fclose(file) == 0) && ok;
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(temp, target, ec);
    ok = !ec;
  }
  if (!ok) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  if (r.download_progress) r.download_progress->done.store(TRANSFER_END_MARKER);
  return true;
}

std::string TransferClient::response_body() {
  if (!body_cached_ && request_ && !request_->finished && !settings_[5].empty()) {
    request_->sink = Request::Sink::memory;
    request_->memory = &settings_[6];
    drive_body();
    request_->memory = nullptr;
    body_cached_ = true;
  }
  return settings_[6];
}

std::string TransferClient::response_text(int utf8) {
  std::string text = text_of_body(response_body());
  return utf8 == 1 ? platform::utf8_to_gbk(text) : text;
}

std::string TransferClient::get_cookie(const std::string& name, bool value_only, int trim_count) {
  const std::string& block = settings_[5];
  static constexpr std::string_view marker = "Set-Cookie";
  std::string joined;
  for (std::size_t at = find_text(block, marker); at > 0;
       at = find_text(block, marker, static_cast<long>(at + marker.size()))) {
    std::size_t start = std::min(block.size(), at - 1 + 12);
    std::size_t semi = block.find(';', start);
    std::size_t end = semi == std::string::npos ? block.size() : std::min(block.size(), semi + 2);
    std::string piece = block.substr(start, end - start);
    std::size_t eq = piece.find('=');
    std::string before = eq == std::string::npos ? std::string() : piece.substr(0, eq);
    if (before == name) {
      if (!value_only) return cut_last(piece, trim_count);
      std::size_t value_end = piece.find(';', eq + 1);
      return cut_last(piece.substr(eq + 1, value_end == std::string::npos
                                               ? std::string::npos
                                               : value_end - eq - 1),
                      trim_count);
    }
    joined += piece;
  }
  return cut_last(joined, trim_count);
}

std::string TransferClient::location() {
  const std::string& block = settings_[5];
  std::size_t at = find_text(block, "Location");
  if (at == 0) return {};
  std::size_t start = std::min(block.size(), at - 1 + 10);
  std::size_t end = block.find("\r\n", start);
  return block.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string TransferClient::header(const std::string& name) {
  const std::string& block = settings_[5];
  if (name.empty()) return block;
  std::size_t at = find_text(block, name + ":");
  if (at == 0) return block;
  std::size_t start = std::min(block.size(), at - 1 + name.size() + 2);
  std::size_t end = block.find("\r\n", start);
  return block.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool TransferClient::close() {
  request_.reset();
  connection_.reset();
  session_.reset();
  for (auto& s : settings_) s.clear();
  body_cached_ = false;
  return available;
}

}  // namespace corvane
