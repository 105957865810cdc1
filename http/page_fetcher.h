#pragma once
// One synchronous HTTP(S) request that returns the whole response body. Every page
// request and form post of the service goes through fetch_page; the only state that
// outlives a call is the process-wide cookie store (see cookie_store.h), which carries
// the service session from the login to every later request.
//
// What the server sees, line by line:
//   GET|POST <object> HTTP/1.1       the object is path_of_url(url); in its path part
//                                    blanks and GBK bytes go percent-encoded, the
//                                    query goes byte for byte
//   Host: <host>[:<port>]            the port only when it is not the scheme's default
//   User-Agent: <agent>              DEFAULT_USER_AGENT, or the value of a User-Agent
//                                    line in headers (that line is sent only here)
//   [Proxy-Connection: Keep-Alive]   only through a proxy
//   [Cookie: <store cookies>]        only when cookies is not given and some match
//   <the lines of headers, in order> with Referer, Accept, Accept-Language and
//                                    Content-Type appended when absent, and
//                                    "Cookie: " + cookies when cookies is given and
//                                    not empty
//   [Content-Length: <n>]            for a POST
// No Accept-Encoding and no Expect line are sent, and the request asks for HTTP/1.1.
//
// Redirects are followed up to 10 times unless no_redirect (a POST becomes a GET after
// a 301, 302 or 303, as in a browser); raw_headers and the parsed lines come from the
// final answer. HTTPS verifies the server's certificate. The status code is never
// looked at. A redirect keeps the proxy decision of the first address: an http address
// sent through the proxy that redirects to https stays with the proxy (as a tunnel).
//
// When the request cannot be made at all (an address without a usable host or port,
// a refused connection, a failed TLS handshake, no answer before the time-outs below)
// the result is empty and cookies, new_cookies, redirect_location and raw_headers are
// left as they were. Once an answer has begun, a later failure (a reset or a stall in
// the body) still counts as an answer: the result is the body read so far.
#include <optional>
#include <string>

namespace corvane {

inline constexpr const char* DEFAULT_USER_AGENT =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; QB8WN; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// The optional parameters of fetch_page. A parameter is "given" when its optional
// holds a value or its pointer is not null, independently of the value itself.
// In/out and out parameters point at the caller's variables.
struct FetchOptions {
  std::optional<int> method;               // 1 = POST; anything else or omitted = GET,
                                           // which never carries a body
  std::optional<std::string> post_text;    // the form body, used when post_bytes is empty
  std::string* cookies = nullptr;          // in/out: given = bypass the cookie store
  std::string* new_cookies = nullptr;      // out: cookies the answer sets, "a=1; b=2"
  std::string* headers = nullptr;          // in/out: extra lines joined by CR LF
  std::string* redirect_location = nullptr;  // out: Location, or the raw header block
  std::optional<bool> no_redirect;         // true: redirects are not followed
  std::string* post_bytes = nullptr;       // in/out: the body as bytes
  std::optional<std::string> proxy;        // given and not empty: "http=" + proxy, that
                                           // is, http addresses go through the proxy
                                           // and https addresses go direct
  std::string* raw_headers = nullptr;      // out: the final answer's header block
};

std::string fetch_page(const std::string& url, const FetchOptions& options = {});

// Guards against a dead server holding a worker thread forever. Defaults: 20 s to
// connect, and a transfer that moves less than one byte a
// second for stall_seconds (60 s) is abandoned; the rate is averaged over the last few
// seconds, so a stall right after a burst of data is noticed a few seconds later.
// The values apply to requests started afterwards, from any thread. Tests shorten them.
struct FetchTimeouts {
  long connect_ms = 20000;
  long stall_seconds = 60;
};
void set_fetch_timeouts(const FetchTimeouts& timeouts);
FetchTimeouts fetch_timeouts();

}  // namespace corvane
