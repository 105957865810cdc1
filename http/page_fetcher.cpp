#include "http/page_fetcher.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>

#include "http/cookie_store.h"
#include "http/cookies.h"
#include "http/url.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr long MAX_REDIRECTS = 10;
// The header block is read through a buffer of this many bytes, its terminating zero
// included; a longer block is not read at all.
constexpr std::size_t HEADER_BUFFER_SIZE = 5000;

std::atomic<long> connect_timeout_ms{FetchTimeouts{}.connect_ms};
std::atomic<long> stall_timeout_seconds{FetchTimeouts{}.stall_seconds};

// What the transfer delivered: the body and the header block of the latest answer.
// libcurl reports the headers of every answer in a redirect chain (and of interim 1xx
// answers); each status line starts a new block, so the block left at the end belongs to
// the final answer.
struct Answer {
  std::string body;
  std::string header_block;
  bool block_complete = false;
  bool answered = false;  // a status line arrived: the server took the request
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<Answer*>(user)->body.append(data, size * count);
  return size * count;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto& answer = *static_cast<Answer*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const bool new_block = answer.header_block.empty() || answer.block_complete;
  if (new_block && line.starts_with("HTTP/")) {
    answer.header_block.assign(line);
    answer.header_block += "\r\n";
    answer.block_complete = false;
    answer.answered = true;
  } else if (answer.block_complete || answer.header_block.empty()) {
    // Trailers of a chunked body are not part of the answer's header block.
  } else {
    // Lines are re-joined with CR LF whatever the server used, so the block always has
    // the "line CR LF ... CR LF CR LF" form callers split on.
    answer.header_block.append(line);
    answer.header_block += "\r\n";
    if (line.empty()) answer.block_complete = true;
  }
  return size * count;
}

// The agent is the value of a User-Agent line the caller put into headers (letter case
// ignored), up to the end of that line; otherwise the default.
std::string agent_of(const std::string& headers) {
  constexpr std::string_view marker = "User-Agent:";
  std::size_t at = find_text(headers, marker, 1, true);
  if (at == 0) return DEFAULT_USER_AGENT;
  std::size_t from = at - 1 + marker.size();
  std::size_t eol = find_text(headers, "\r\n", static_cast<long>(from + 1));
  std::string_view rest = std::string_view(headers).substr(from);
  if (eol != 0) rest = rest.substr(0, eol - 1 - from);
  return trim(rest);
}

void add_default_lines(std::string& headers, const std::string& url, const std::string& cookies) {
  if (!contains(headers, "Referer:")) {
    if (headers.empty())
      headers = "Referer: " + url;
    else
      headers += "\r\nReferer: " + url;
  }
  if (!contains(headers, "Accept:")) headers += "\r\nAccept: */*";
  if (!contains(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
  if (!contains(headers, "Content-Type:"))
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookies.empty()) headers += "\r\nCookie: " + cookies;
}

struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
  bool add(const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (!grown) return false;
    list = grown;
    return true;
  }
};

// The lines handed to libcurl. The agent goes through CURLOPT_USERAGENT, so User-Agent
// lines are left out here and the agent is sent once, right after Host. libcurl would
// add "Expect: 100-continue" to larger posts; a browser never waits for that, and an
// empty "Expect:" line tells libcurl to leave it out.
bool build_header_list(const std::string& headers, HeaderList& out) {
  for (const std::string& line : split(headers, "\r\n")) {
    if (trim(line).empty() || starts_with_ignore_case(line, "User-Agent:")) continue;
    if (!out.add(line)) return false;
  }
  return out.add("Expect:");
}

// A host the connection can be made to: letters, digits, "-", "." and "_". Anything
// else (an address such as "http://host?x=1" yields the host "host?x=1") cannot be
// resolved, so the request fails like a connection that cannot be opened.
bool is_plain_host(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// The address libcurl connects to, rebuilt from the host, port and object the request
// is made of. Blanks in the object are sent as %20, as a browser does.
std::string request_address(const std::string& url) {
  std::string host = host_of_url(url, false);
  int port = port_of_url(url);
  if (!is_plain_host(host) || port <= 0) return {};
  std::string object = replace_all(path_of_url(url), " ", "%20");
  return (is_secure_url(url) ? "https://" : "http://") + host + ":" + std::to_string(port) +
         object;
}

struct EasyHandle {
  CURL* handle = curl_easy_init();
  ~EasyHandle() {
    if (handle) curl_easy_cleanup(handle);
  }
};

// The final header block read for the callers: Location and Set-Cookie lines, the merge
// into the caller's cookies, and the header block standing in for a missing Location.
void read_header_lines(const std::string& raw_headers, const FetchOptions& options) {
  std::string location;
  std::string new_cookies;
  for (const std::string& line : split(raw_headers, "\r\n")) {
    if (contains(line, "Location:")) location = header_value(line);
    if (contains(line, "Set-Cookie")) {
      constexpr std::string_view marker = "Set-Cookie:";
      std::size_t at = find_text(line, marker);
      if (at == 0) continue;
      std::string_view rest = std::string_view(line).substr(at - 1 + marker.size());
      std::size_t semicolon = find_text(rest, ";");
      if (semicolon != 0) rest = rest.substr(0, semicolon - 1);
      std::string entry = trim(rest);
      if (entry.empty()) continue;  // "; " alone would break the "a=1; b=2" form
      new_cookies += entry;
      new_cookies += "; ";
    }
  }
  if (!new_cookies.empty()) new_cookies.resize(new_cookies.size() - 2);

  if (options.cookies) merge_cookies(*options.cookies, new_cookies);
  if (options.new_cookies) *options.new_cookies = new_cookies;
  if (location.empty()) location = raw_headers;
  if (options.redirect_location) *options.redirect_location = std::move(location);
}

}  // namespace

void set_fetch_timeouts(const FetchTimeouts& timeouts) {
  connect_timeout_ms = timeouts.connect_ms;
  stall_timeout_seconds = timeouts.stall_seconds;
}

FetchTimeouts fetch_timeouts() { return {connect_timeout_ms.load(), stall_timeout_seconds.load()}; }

std::string fetch_page(const std::string& url, const FetchOptions& options) {
  const bool post = options.method.value_or(0) == 1;
  std::string local_headers;
  std::string& headers = options.headers ? *options.headers : local_headers;
  const std::string agent = agent_of(headers);

  const std::string address = request_address(url);
  if (address.empty() || !ensure_curl_initialized()) return {};
  EasyHandle easy;
  if (!easy.handle) return {};
  CURL* h = easy.handle;

  const std::string no_cookies;
  add_default_lines(headers, url, options.cookies ? *options.cookies : no_cookies);
  HeaderList header_list;
  if (!build_header_list(headers, header_list)) return {};

  // The body is fixed before the request goes out; the caller's post_bytes sees it.
  std::string body;
  if (post) {
    std::string local_bytes;
    std::string& post_bytes = options.post_bytes ? *options.post_bytes : local_bytes;
    if (post_bytes.empty()) post_bytes = options.post_text.value_or("");
    body = post_bytes;
  }

  // The proxy list "http=" + proxy names a proxy for http addresses only; https goes
  // direct. CURLOPT_PROXY and CURLOPT_NOPROXY are always set, so the environment's
  // proxy variables never decide where a request goes.
  const bool secure = is_secure_url(url);
  const bool via_proxy = options.proxy && !options.proxy->empty() && !secure;
  curl_easy_setopt(h, CURLOPT_PROXY, via_proxy ? options.proxy->c_str() : "");
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");

  curl_easy_setopt(h, CURLOPT_URL, address.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, header_list.list);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, options.no_redirect.value_or(false) ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms.load());
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stall_timeout_seconds.load());
  if (post) {
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  } else {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  }
  // Cookies given by the caller replace the store for this request: they travel in the
  // Cookie line above, and what the answer sets is merged into them, not stored.
  if (!options.cookies) attach_cookie_store(h);

  Answer answer;
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &answer);

  // Errors after the server answered (a stall or reset in the body) are not failures:
  // the result is the body read so far. Without any answer the request was never made.
  CURLcode rc = curl_easy_perform(h);
  if (rc != CURLE_OK && !answer.answered) return {};

  std::string raw_headers = answer.header_block.size() + 1 <= HEADER_BUFFER_SIZE
                                ? answer.header_block
                                : std::string(HEADER_BUFFER_SIZE, ' ');
  if (options.raw_headers) *options.raw_headers = raw_headers;
  read_header_lines(raw_headers, options);
  return std::move(answer.body);
}

}  // namespace corvane
