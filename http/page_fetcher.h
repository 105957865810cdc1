#pragma once
// One synchronous HTTP(S) request that returns the whole response body. Every page
// request and form post of the service goes through fetch_page; the only state that
// outlives a call is the process-wide cookie store (see cookie_store.h), which carries
// the service session from the login to every later request.
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
  std::optional<int> method;               // 1 = POST, 0 or omitted = GET
  std::optional<std::string> post_text;    // the form body, used when post_bytes is empty
  std::string* cookies = nullptr;          // in/out: given = bypass the cookie store
  std::string* new_cookies = nullptr;      // out: cookies the answer sets, "a=1; b=2"
  std::string* headers = nullptr;          // in/out: extra lines joined by CR LF
  std::string* redirect_location = nullptr;  // out: Location, or the raw header block
  std::optional<bool> no_redirect;         // true: redirects are not followed
  std::string* post_bytes = nullptr;       // in/out: the body as bytes
  std::optional<std::string> proxy;        // given and not empty: "http=" + proxy
  std::string* raw_headers = nullptr;      // out: the final answer's header block
};

std::string fetch_page(const std::string& url, const FetchOptions& options = {});

// Guards against a dead server holding a worker thread forever. Defaults: 20 s to
// connect, and a transfer that moves no byte for 60 s is abandoned. Tests shorten them.
struct FetchTimeouts {
  long connect_ms = 20000;
  long stall_seconds = 60;
};
void set_fetch_timeouts(const FetchTimeouts& timeouts);
FetchTimeouts fetch_timeouts();

}  // namespace corvane
