// The page fetcher against raw loopback servers: the exact request on the wire, the
// process-wide cookie store across threads and sub-domains, cookies managed by the
// caller, redirects, the final answer's header block, proxies, and requests that
// cannot be made or stall.
#include "http/page_fetcher.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "http/cookie_store.h"
#include "tests/support/raw_server.h"
#include "text/gbk_text.h"

namespace corvane {
namespace {

using test::RawConnection;
using test::RawRequest;
using test::RawServer;
using Lines = std::vector<std::string>;

const std::string AGENT_LINE = std::string("User-Agent: ") + DEFAULT_USER_AGENT;
const std::string FORM_TYPE_LINE = "Content-Type: application/x-www-form-urlencoded";

class PageFetcher : public testing::Test {
 protected:
  void SetUp() override { clear_cookie_store(); }
  void TearDown() override {
    set_fetch_timeouts({});
    clear_cookie_store();
  }
};

std::string host_line(const RawServer& server, const std::string& host = "127.0.0.1") {
  return "Host: " + host + ":" + std::to_string(server.port());
}

std::string url_on(const RawServer& server, const std::string& host, const std::string& path) {
  return "http://" + host + ":" + std::to_string(server.port()) + path;
}

// Sets an environment variable for one test and puts the old value back.
class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~EnvOverride() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// A loopback listener for connections that never become HTTP requests (a TLS
// handshake): it records the first bytes of the first connection and closes it.
class FirstBytesListener {
 public:
  FirstBytesListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 4);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) return;
      int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) return;
      pollfd q{c, POLLIN, 0};
      char buf[64];
      if (poll(&q, 1, 20000) > 0) {
        ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n > 0) first_bytes_.assign(buf, static_cast<std::size_t>(n));
      }
      ::close(c);
    });
  }
  ~FirstBytesListener() {
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
  }
  int port() const { return port_; }
  // Waits for the connection to have been handled.
  std::string first_bytes() {
    if (thread_.joinable()) thread_.join();
    return first_bytes_;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::string first_bytes_;
  std::thread thread_;
};

// --- the request on the wire ----------------------------------------------------------

// The order the server sees: request line, Host, User-Agent, a Cookie line from the
// store, the caller's lines, the default lines, the caller's Cookie line, and for a
// post Content-Length. No Accept-Encoding, no Expect.
TEST_F(PageFetcher, GetCarriesTheDefaultLinesInOrder) {
  RawServer server([](const RawRequest&) { return RawServer::response("hello"); });
  const std::string url = server.base_url() + "/dir/page.asp?x=1&y=%41";
  EXPECT_EQ(fetch_page(url), "hello");

  ASSERT_EQ(server.request_count(), 1u);
  const RawRequest r = server.requests()[0];
  EXPECT_EQ(r.request_line, "GET /dir/page.asp?x=1&y=%41 HTTP/1.1");
  EXPECT_EQ(r.header_lines, (Lines{host_line(server), AGENT_LINE, "Referer: " + url,
                                   "Accept: */*", "Accept-Language: zh-cn", FORM_TYPE_LINE}));
  EXPECT_EQ(r.body, "");
}

// Blanks and GBK bytes in the path go percent-encoded (any server decodes them the same);
// the query goes as it stands, GBK bytes included.
TEST_F(PageFetcher, ObjectKeepsTheQueryBytes) {
  RawServer server([](const RawRequest&) { return RawServer::response("ok"); });
  const std::string url =
      server.base_url() + "/a b/\xC4\xBF\xC2\xBC.asp?n=\xCE\xC4&s=x%20y" /* 目录, 文 */;
  EXPECT_EQ(fetch_page(url), "ok");
  ASSERT_EQ(server.request_count(), 1u);
  const RawRequest r = server.requests()[0];
  EXPECT_EQ(r.request_line, "GET /a%20b/%c4%bf%c2%bc.asp?n=\xCE\xC4&s=x%20y HTTP/1.1");
  EXPECT_EQ(r.header("Referer"), url);
}

struct PostCase {
  const char* name;
  const char* post_text;
  std::string post_bytes_in;
  bool post_bytes_given;
  std::string body;  // what the server receives, and post_bytes afterwards
};

void PrintTo(const PostCase& c, std::ostream* os) { *os << c.name; }

class PageFetcherPost : public PageFetcher, public testing::WithParamInterface<PostCase> {};

TEST_P(PageFetcherPost, SendsTheBodyAndFillsPostBytes) {
  const PostCase& c = GetParam();
  RawServer server([](const RawRequest&) { return RawServer::response("done"); });
  const std::string url = server.base_url() + "/post";
  std::string post_bytes = c.post_bytes_in;
  FetchOptions options;
  options.method = 1;
  if (c.post_text) options.post_text = c.post_text;
  if (c.post_bytes_given) options.post_bytes = &post_bytes;
  EXPECT_EQ(fetch_page(url, options), "done");

  ASSERT_EQ(server.request_count(), 1u);
  const RawRequest r = server.requests()[0];
  EXPECT_EQ(r.request_line, "POST /post HTTP/1.1");
  EXPECT_EQ(r.header_lines,
            (Lines{host_line(server), AGENT_LINE, "Referer: " + url, "Accept: */*",
                   "Accept-Language: zh-cn", FORM_TYPE_LINE,
                   "Content-Length: " + std::to_string(c.body.size())}));
  EXPECT_TRUE(r.body == c.body) << "body of " << r.body.size() << " bytes";
  if (c.post_bytes_given) {
    EXPECT_TRUE(post_bytes == c.body);
  }
}

const PostCase POST_CASES[] = {
    {"text_fills_empty_post_bytes", "a=b", "", true, "a=b"},
    {"text_without_post_bytes", "Yz0=dq&Yz1=3&Yz2=&Yz3=&Yz4=", "", false,
     "Yz0=dq&Yz1=3&Yz2=&Yz3=&Yz4="},
    {"bytes_win_over_text", "ignored", std::string("b\0\xFF\x01", 4), true,
     std::string("b\0\xFF\x01", 4)},
    {"gbk_text_unchanged", "n=\xC4\xBF\xC2\xBC" /* 目录 */, "", true, "n=\xC4\xBF\xC2\xBC"},
    {"nothing_to_send", nullptr, "", true, ""},
    // Large enough that libcurl would otherwise wait for "100 Continue".
    {"large_body_without_expect", nullptr, std::string(1500000, 'z'), true,
     std::string(1500000, 'z')},
};

INSTANTIATE_TEST_SUITE_P(Table, PageFetcherPost, testing::ValuesIn(POST_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

struct HeadersCase {
  const char* name;
  const char* headers_in;
  // {url} stands for the address; lines after Host.
  Lines wire;
  const char* headers_after;
};

void PrintTo(const HeadersCase& c, std::ostream* os) { *os << c.name; }

class PageFetcherHeaders : public PageFetcher,
                           public testing::WithParamInterface<HeadersCase> {};

std::string with_url(std::string text, const std::string& url) {
  return replace_all(text, "{url}", url);
}

TEST_P(PageFetcherHeaders, CallerLinesFirstDefaultsOnlyWhenAbsent) {
  const HeadersCase& c = GetParam();
  RawServer server([](const RawRequest&) { return RawServer::response("ok"); });
  const std::string url = server.base_url() + "/h";
  std::string headers = c.headers_in;
  FetchOptions options;
  options.headers = &headers;
  EXPECT_EQ(fetch_page(url, options), "ok");

  Lines expected{host_line(server)};
  for (const auto& line : c.wire) expected.push_back(with_url(line, url));
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_EQ(server.requests()[0].header_lines, expected);
  EXPECT_EQ(headers, with_url(c.headers_after, url));
}

const HeadersCase HEADERS_CASES[] = {
    {"empty",
     "",
     {AGENT_LINE, "Referer: {url}", "Accept: */*", "Accept-Language: zh-cn", FORM_TYPE_LINE},
     "Referer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
     "Content-Type: application/x-www-form-urlencoded"},
    {"own_referer_not_doubled",
     "Referer: http://elsewhere/",
     {AGENT_LINE, "Referer: http://elsewhere/", "Accept: */*", "Accept-Language: zh-cn",
      FORM_TYPE_LINE},
     "Referer: http://elsewhere/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
     "Content-Type: application/x-www-form-urlencoded"},
    {"agent_taken_from_headers",
     "user-agent:  Probe/2.0 \r\nX-Extra: 1",
     {"User-Agent: Probe/2.0", "X-Extra: 1", "Referer: {url}", "Accept: */*",
      "Accept-Language: zh-cn", FORM_TYPE_LINE},
     "user-agent:  Probe/2.0 \r\nX-Extra: 1\r\nReferer: {url}\r\nAccept: */*\r\n"
     "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
    {"all_defaults_present",
     "Accept-Language: en\r\nContent-Type: text/plain\r\nAccept: text/html\r\nReferer: r",
     {AGENT_LINE, "Accept-Language: en", "Content-Type: text/plain", "Accept: text/html",
      "Referer: r"},
     "Accept-Language: en\r\nContent-Type: text/plain\r\nAccept: text/html\r\nReferer: r"},
    // The test for a default line is case-sensitive, so a lower-case line gets company.
    {"lower_case_accept_gets_the_default_too",
     "accept: text/html",
     {AGENT_LINE, "accept: text/html", "Referer: {url}", "Accept: */*",
      "Accept-Language: zh-cn", FORM_TYPE_LINE},
     "accept: text/html\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
     "Content-Type: application/x-www-form-urlencoded"},
};

INSTANTIATE_TEST_SUITE_P(Table, PageFetcherHeaders, testing::ValuesIn(HEADERS_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// --- the process-wide cookie store ----------------------------------------------------

TEST_F(PageFetcher, CookieSetByOneAnswerGoesOutFromAnotherThread) {
  RawServer server([](const RawRequest& r) {
    if (r.target() == "/login")
      return RawServer::response("in", "Set-Cookie: ASPSESSIONID=abc; path=/");
    return RawServer::response("list");
  });
  EXPECT_EQ(fetch_page(server.base_url() + "/login"), "in");
  std::string body;
  std::thread worker([&] { body = fetch_page(server.base_url() + "/files/list.asp"); });
  worker.join();
  EXPECT_EQ(body, "list");

  ASSERT_EQ(server.request_count(), 2u);
  const RawRequest second = server.requests()[1];
  EXPECT_EQ(second.header_lines,
            (Lines{host_line(server), AGENT_LINE, "Cookie: ASPSESSIONID=abc",
                   "Referer: " + server.base_url() + "/files/list.asp", "Accept: */*",
                   "Accept-Language: zh-cn", FORM_TYPE_LINE}));
}

TEST_F(PageFetcher, DomainCookieReachesEverySubDomainButNoOtherHost) {
  RawServer server([](const RawRequest& r) {
    if (r.target() == "/set")
      return RawServer::response("", "Set-Cookie: sid=7; Domain=corvane.localhost; Path=/");
    return RawServer::response("");
  });
  fetch_page(url_on(server, "alice.corvane.localhost", "/set"));
  fetch_page(url_on(server, "bob.corvane.localhost", "/a"));
  fetch_page(url_on(server, "corvane.localhost", "/b"));
  fetch_page(url_on(server, "127.0.0.1", "/c"));

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1].header("Host"), "bob.corvane.localhost:" + std::to_string(server.port()));
  EXPECT_EQ(requests[1].header("Cookie"), "sid=7");
  EXPECT_EQ(requests[2].header("Cookie"), "sid=7");
  EXPECT_EQ(requests[3].header("Cookie"), "");
}

TEST_F(PageFetcher, GivenCookiesBypassTheStoreAndAreMergedInPlace) {
  RawServer server([](const RawRequest& r) {
    if (r.target() == "/store") return RawServer::response("", "Set-Cookie: sid=stored");
    return RawServer::response("mine", "Set-Cookie: B=3; path=/\r\nSet-Cookie: C=deleted");
  });
  fetch_page(server.base_url() + "/store");

  std::string cookies = "A=1; B=2";
  std::string new_cookies = "stale";
  FetchOptions options;
  options.cookies = &cookies;
  options.new_cookies = &new_cookies;
  EXPECT_EQ(fetch_page(server.base_url() + "/own", options), "mine");
  EXPECT_EQ(cookies, "B=3; A=1");
  EXPECT_EQ(new_cookies, "B=3;C=deleted");  // the merge removes its blanks

  // Given but empty: no Cookie line at all, the store stays out of it.
  std::string none;
  FetchOptions empty_cookies;
  empty_cookies.cookies = &none;
  fetch_page(server.base_url() + "/own", empty_cookies);
  EXPECT_EQ(none, "B=3");

  // What the caller's answers set never entered the store.
  fetch_page(server.base_url() + "/after");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  const Lines own_lines{host_line(server), AGENT_LINE,
                        "Referer: " + server.base_url() + "/own", "Accept: */*",
                        "Accept-Language: zh-cn", FORM_TYPE_LINE, "Cookie: A=1; B=2"};
  EXPECT_EQ(requests[1].header_lines, own_lines);
  for (const auto& line : requests[2].header_lines) EXPECT_FALSE(line.starts_with("Cookie"));
  EXPECT_EQ(requests[3].header("Cookie"), "sid=stored");
}

// Every thread keeps a cookie of its own in the shared store and must see the value its
// previous answer set, while the other threads change theirs.
TEST_F(PageFetcher, ConcurrentCallsShareOneStore) {
  RawServer server([](const RawRequest& r) {
    // target "/t<thread>/<n>": set t<thread>=<n>, echo the Cookie line.
    std::string target = r.target();
    std::size_t slash = target.find('/', 1);
    std::string name = target.substr(1, slash - 1);
    std::string value = target.substr(slash + 1);
    return RawServer::response(r.header("Cookie"),
                               "Set-Cookie: " + name + "=" + value + "; path=/");
  });
  constexpr int THREADS = 6, ROUNDS = 8;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < ROUNDS; ++n) {
        std::string body =
            fetch_page(server.base_url() + "/t" + std::to_string(t) + "/" + std::to_string(n));
        std::string mine = "t" + std::to_string(t) + "=" + std::to_string(n - 1);
        bool ok = n == 0 || ("; " + body + ";").find("; " + mine + ";") != std::string::npos;
        if (!ok) ++mismatches;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(server.request_count(), static_cast<std::size_t>(THREADS * ROUNDS));
}

// --- redirects and the final header block ---------------------------------------------

TEST_F(PageFetcher, RedirectIsFollowedAndTheFinalAnswerIsRead) {
  // The Location names the server's own port, known once it listens.
  std::atomic<int> port{0};
  RawServer chain([&](const RawRequest& r) {
    if (r.target() == "/start")
      return RawServer::response(
          "moved",
          "Location: http://bob.corvane.localhost:" + std::to_string(port.load()) + "/final\r\n"
          "Set-Cookie: hop=1; path=/",
          "302 Found");
    return RawServer::response("done", "X-Final: yes");
  });
  port = chain.port();

  std::string raw_headers, redirect_location, new_cookies;
  FetchOptions options;
  options.method = 1;
  options.post_text = "a=1";
  options.raw_headers = &raw_headers;
  options.redirect_location = &redirect_location;
  options.new_cookies = &new_cookies;
  EXPECT_EQ(fetch_page(url_on(chain, "alice.corvane.localhost", "/start"), options), "done");

  EXPECT_EQ(raw_headers,
            "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-Final: yes\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(redirect_location, raw_headers);  // the final answer has no Location
  EXPECT_EQ(new_cookies, "");
  const auto requests = chain.requests();
  ASSERT_EQ(requests.size(), 2u);
  // A browser turns the post into a GET after a 302.
  EXPECT_EQ(requests[1].request_line, "GET /final HTTP/1.1");
  EXPECT_EQ(requests[1].header("Host"), "bob.corvane.localhost:" + std::to_string(chain.port()));
}

TEST_F(PageFetcher, NoRedirectReturnsTheRedirectAnswer) {
  RawServer server([](const RawRequest&) {
    return RawServer::response("moved", "Location: /final\r\nSet-Cookie: hop=1; path=/",
                               "302 Found");
  });
  std::string redirect_location = "stale", new_cookies;
  FetchOptions options;
  options.no_redirect = true;
  options.redirect_location = &redirect_location;
  options.new_cookies = &new_cookies;
  EXPECT_EQ(fetch_page(server.base_url() + "/start", options), "moved");
  EXPECT_EQ(redirect_location, "/final");
  EXPECT_EQ(new_cookies, "hop=1");
  EXPECT_EQ(server.request_count(), 1u);
}

// An answer block of exactly the given size, status line and final blank line included,
// carrying a cookie and a Location so that a parsed block shows.
std::string answer_with_block_of(std::size_t size) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nSet-Cookie: big=1; path=/\r\n"
      "Location: /elsewhere\r\nX-Pad: ";
  const std::string tail = "\r\n\r\n";
  return head + std::string(size - head.size() - tail.size(), 'p') + tail + "ok";
}

struct BlockCase {
  const char* name;
  std::string answer;
  std::string raw_headers;
  std::string new_cookies;
  std::string redirect_location;  // "=raw" stands for the raw header block
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

class PageFetcherHeaderBlock : public PageFetcher,
                               public testing::WithParamInterface<BlockCase> {};

TEST_P(PageFetcherHeaderBlock, LocationAndCookiesComeFromTheBlock) {
  const BlockCase& c = GetParam();
  RawServer server([&](const RawRequest&) { return c.answer; });
  std::string raw_headers, new_cookies, redirect_location;
  FetchOptions options;
  options.no_redirect = true;
  options.raw_headers = &raw_headers;
  options.new_cookies = &new_cookies;
  options.redirect_location = &redirect_location;
  fetch_page(server.base_url() + "/", options);
  EXPECT_EQ(raw_headers, c.raw_headers);
  EXPECT_EQ(new_cookies, c.new_cookies);
  EXPECT_EQ(redirect_location, c.redirect_location == "=raw" ? raw_headers : c.redirect_location);
}

const std::string TWO_COOKIES =
    "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nSet-Cookie: A=1; path=/\r\nSet-Cookie: B=2\r\n\r\n";

const BlockCase BLOCK_CASES[] = {
    {"two_cookies_no_location", TWO_COOKIES, TWO_COOKIES, "A=1; B=2", "=raw"},
    {"bare_line_feeds_become_crlf",
     "HTTP/1.1 200 OK\nContent-Length: 0\nSet-Cookie: A=1\nLocation:  /x \n\n",
     "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nSet-Cookie: A=1\r\nLocation:  /x \r\n\r\n", "A=1",
     "/x"},
    {"interim_answer_left_out",
     "HTTP/1.1 100 Continue\r\nSet-Cookie: early=1\r\n\r\n"
     "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
     "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "", "=raw"},
    {"later_location_wins",
     "HTTP/1.1 302 Found\r\nLocation: /a\r\nContent-Location: /b\r\nContent-Length: 0\r\n\r\n",
     "HTTP/1.1 302 Found\r\nLocation: /a\r\nContent-Location: /b\r\nContent-Length: 0\r\n\r\n",
     "", "/b"},
    {"empty_cookie_entry_skipped",
     "HTTP/1.1 200 OK\r\nSet-Cookie: ; path=/\r\nSet-Cookie: Z=9\r\nContent-Length: 0\r\n\r\n",
     "HTTP/1.1 200 OK\r\nSet-Cookie: ; path=/\r\nSet-Cookie: Z=9\r\nContent-Length: 0\r\n\r\n",
     "Z=9", "=raw"},
    // The block is read through a 5000-byte buffer that also holds a terminating zero.
    {"block_of_4999_bytes_is_read", answer_with_block_of(4999),
     answer_with_block_of(4999).substr(0, 4999), "big=1", "/elsewhere"},
    {"block_of_5000_bytes_is_not_read", answer_with_block_of(5000), std::string(5000, ' '), "",
     std::string(5000, ' ')},
};

INSTANTIATE_TEST_SUITE_P(Table, PageFetcherHeaderBlock, testing::ValuesIn(BLOCK_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// --- proxies ----------------------------------------------------------------------------

TEST_F(PageFetcher, EmptyProxyGoesDirect) {
  RawServer server([](const RawRequest&) { return RawServer::response("direct"); });
  FetchOptions options;
  options.proxy = "";
  EXPECT_EQ(fetch_page(server.base_url() + "/p", options), "direct");
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_EQ(server.requests()[0].request_line, "GET /p HTTP/1.1");
}

TEST_F(PageFetcher, ProxyCarriesHttpAddresses) {
  RawServer proxy([](const RawRequest&) { return RawServer::response("via proxy"); });
  FetchOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  // Nothing listens on these loopback ports: only the proxy can answer.
  const std::string addresses[] = {"http://origin.corvane.localhost:1/page?q=1",
                                   "http://origin.corvane.localhost/page"};
  for (const auto& address : addresses) EXPECT_EQ(fetch_page(address, options), "via proxy");

  const auto requests = proxy.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].request_line, "GET http://origin.corvane.localhost:1/page?q=1 HTTP/1.1");
  EXPECT_EQ(requests[0].header_lines,
            (Lines{"Host: origin.corvane.localhost:1", AGENT_LINE, "Proxy-Connection: Keep-Alive",
                   "Referer: http://origin.corvane.localhost:1/page?q=1", "Accept: */*",
                   "Accept-Language: zh-cn", FORM_TYPE_LINE}));
  EXPECT_EQ(requests[1].request_line, "GET http://origin.corvane.localhost/page HTTP/1.1");
  EXPECT_EQ(requests[1].header("Host"), "origin.corvane.localhost");
}

// The proxy list names a proxy for http only; an https address goes direct, and an
// address whose scheme is in capitals still speaks TLS.
TEST_F(PageFetcher, HttpsAddressBypassesTheProxyAndSpeaksTls) {
  set_fetch_timeouts({5000, 2});
  RawServer proxy([](const RawRequest&) { return RawServer::response("via proxy"); });
  FirstBytesListener origin;
  FetchOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  std::string raw_headers = "unchanged";
  options.raw_headers = &raw_headers;
  EXPECT_EQ(fetch_page("HTTPS://127.0.0.1:" + std::to_string(origin.port()) + "/s", options), "");
  const std::string hello = origin.first_bytes();
  ASSERT_GE(hello.size(), 2u);
  EXPECT_EQ(hello[0], '\x16');  // TLS handshake record
  EXPECT_EQ(hello[1], '\x03');
  EXPECT_EQ(proxy.request_count(), 0u);
  EXPECT_EQ(raw_headers, "unchanged");
}

TEST_F(PageFetcher, EnvironmentProxyIsIgnored) {
  RawServer proxy([](const RawRequest&) { return RawServer::response("via proxy"); });
  RawServer server([](const RawRequest&) { return RawServer::response("direct"); });
  EnvOverride a("http_proxy", proxy.base_url());
  EnvOverride b("HTTP_PROXY", proxy.base_url());
  EnvOverride c("all_proxy", proxy.base_url());
  EnvOverride d("ALL_PROXY", proxy.base_url());
  EXPECT_EQ(fetch_page(server.base_url() + "/"), "direct");
  FetchOptions options;
  options.proxy = "";
  EXPECT_EQ(fetch_page(server.base_url() + "/", options), "direct");
  EXPECT_EQ(proxy.request_count(), 0u);
  EXPECT_EQ(server.request_count(), 2u);
}

// --- requests that cannot be made, and servers that stall -----------------------------

struct Outputs {
  std::string cookies = "c=1";
  std::string new_cookies = "new";
  std::string redirect_location = "loc";
  std::string raw_headers = "raw";
  FetchOptions options() {
    FetchOptions o;
    o.cookies = &cookies;
    o.new_cookies = &new_cookies;
    o.redirect_location = &redirect_location;
    o.raw_headers = &raw_headers;
    return o;
  }
  void expect_unchanged() const {
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(new_cookies, "new");
    EXPECT_EQ(redirect_location, "loc");
    EXPECT_EQ(raw_headers, "raw");
  }
};

int refused_port() {
  RawServer closed([](const RawRequest&) { return std::string(); });
  int port = closed.port();
  closed.stop();
  return port;
}

TEST_F(PageFetcher, UnreachableAddressesGiveAnEmptyResult) {
  const std::string addresses[] = {
      "http://127.0.0.1:" + std::to_string(refused_port()) + "/",
      "http://host?x=1",  // the host would be "host?x=1"
      "http:///nohost",
      "http://127.0.0.1:0/",
      "http://127.0.0.1:99999/",
  };
  for (const auto& address : addresses) {
    SCOPED_TRACE(address);
    Outputs out;
    EXPECT_EQ(fetch_page(address, out.options()), "");
    out.expect_unchanged();
  }
}

// An address is also the Referer line: one with a line break must not reach the wire.
TEST_F(PageFetcher, AddressWithALineBreakIsNotSent) {
  RawServer server([](const RawRequest&) { return RawServer::response("ok"); });
  Outputs out;
  EXPECT_EQ(fetch_page(server.base_url() + "/a\r\nX-Injected: 1", out.options()), "");
  out.expect_unchanged();
  EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(PageFetcher, ServerThatNeverAnswersIsAbandoned) {
  set_fetch_timeouts({2000, 1});
  RawServer server([](RawConnection& c) { c.pause(60000); }, 0);
  Outputs out;
  EXPECT_EQ(fetch_page(server.base_url() + "/", out.options()), "");
  out.expect_unchanged();
}

TEST_F(PageFetcher, StallInTheBodyKeepsWhatWasRead) {
  set_fetch_timeouts({2000, 1});
  RawServer server(
      [](RawConnection& c) {
        c.write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nSet-Cookie: s=1\r\n\r\np");
        c.pause(60000);
      },
      0);
  std::string raw_headers, new_cookies;
  FetchOptions options;
  options.raw_headers = &raw_headers;
  options.new_cookies = &new_cookies;
  EXPECT_EQ(fetch_page(server.base_url() + "/", options), "p");
  EXPECT_EQ(raw_headers, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nSet-Cookie: s=1\r\n\r\n");
  EXPECT_EQ(new_cookies, "s=1");
}

// The status code is never looked at, and the body is read whole.
TEST_F(PageFetcher, ErrorPagesAndLargeBodiesComeBackWhole) {
  std::string big(3 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
  RawServer server([&](const RawRequest& r) {
    if (r.target() == "/missing") return RawServer::response("not here", "", "404 Not Found");
    return RawServer::response(big);
  });
  EXPECT_EQ(fetch_page(server.base_url() + "/missing"), "not here");
  EXPECT_TRUE(fetch_page(server.base_url() + "/big") == big);
}

}  // namespace
}  // namespace corvane
