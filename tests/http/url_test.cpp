#include "http/url.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace corvane {
namespace {

struct UrlCase {
  const char* name;
  const char* url;
  const char* host;       // host_of_url(url, false)
  const char* host_port;  // host_of_url(url, true)
  int port;
  const char* path;
  bool secure;
};

const UrlCase URL_CASES[] = {
    {"plain", "http://alice.corvane.com/index.asp", "alice.corvane.com", "alice.corvane.com", 80,
     "/index.asp", false},
    {"explicit_port_and_query", "http://host:8080/a/b?x=1", "host", "host:8080", 8080, "/a/b?x=1",
     false},
    {"no_path", "http://host", "host", "host", 80, "/", false},
    {"no_path_with_port", "http://host:81", "host", "host:81", 81, "/", false},
    {"capital_scheme_uses_tls", "HTTPS://Secure.Example/Path", "secure.example", "secure.example",
     443, "/Path", true},
    {"https_with_port", "https://h.example:8443/x", "h.example", "h.example:8443", 8443, "/x", true},
    {"host_lower_cased_path_kept", "http://MiXeD.Host/Some/PATH?Q=A", "mixed.host", "mixed.host",
     80, "/Some/PATH?Q=A", false},
    {"no_scheme_means_http", "host.example/dir/f.htm", "host.example", "host.example", 80,
     "/dir/f.htm", false},
    {"address_inside_the_query", "http://short.example/api?url=http://alice.corvane.com/x",
     "short.example", "short.example", 80, "/api?url=http://alice.corvane.com/x", false},
    {"https_address_inside_http_query", "http://s.example/c?u=https://t.example/",
     "s.example", "s.example", 80, "/c?u=https://t.example/", false},
    {"port_is_after_the_last_colon", "http://h:1:2/", "h", "h:1:2", 2, "/", false},
    {"empty_port_is_zero", "http://h:/p", "h", "h:", 0, "/p", false},
    // A host that also occurs inside the scheme marker: the object still starts at the
    // first "/" after the host, not inside "http://".
    {"host_inside_scheme_marker", "http://tp/a", "tp", "tp", 80, "/a", false},
    {"host_named_http", "http://http:8080/a", "http", "http:8080", 8080, "/a", false},
    {"gbk_bytes_in_path", "http://h/\xC4\xBF\xC2\xBC?n=\xCE\xC4" /* 目录, 文 */, "h", "h", 80,
     "/\xC4\xBF\xC2\xBC?n=\xCE\xC4", false},
};

void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.name; }

class UrlParts : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlParts, SplitLikeTheRequestIsMade) {
  const UrlCase& c = GetParam();
  EXPECT_EQ(host_of_url(c.url), c.host);
  EXPECT_EQ(host_of_url(c.url, true), c.host_port);
  EXPECT_EQ(port_of_url(c.url), c.port);
  EXPECT_EQ(path_of_url(c.url), c.path);
  EXPECT_EQ(is_secure_url(c.url), c.secure);
}

INSTANTIATE_TEST_SUITE_P(Table, UrlParts, testing::ValuesIn(URL_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace corvane
