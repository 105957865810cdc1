#include <gtest/gtest.h>

#include "service/endpoints.h"
#include "service/shortener.h"
#include "tests/support/raw_server.h"

namespace corvane {
namespace {

TEST(ShortAddressOf, CutsTheUrlMember) {
  struct Case {
    const char* name;
    std::string answer, address;
  };
  const Case cases[] = {
      {"plain", R"({"status":1,"url":"http://s.example/Ab3"})", "http://s.example/Ab3"},
      {"escaped slashes stay as they are", R"({"url":"http:\/\/s.example\/x","err":""})",
       R"(http:\/\/s.example\/x)"},
      {"the first url member counts", R"({"url":"first","x":{"url":"second"}})", "first"},
      {"a longer member name ending in url also matches", R"({"long_url":"http://a/b","url":"s"})",
       "http://a/b"},
      {"spaces after the colon are not the marker", R"({"url": "x"})", ""},
      {"no closing quote", R"({"url":"http://s.example/x)", ""},
      {"no answer", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(short_address_of(c.answer), c.address);
  }
}

// A raw server: the address in the query carries its own "?", which the parsing test
// servers refuse, while the shortener takes the rest of the query as it stands.
class ShortenerTest : public ::testing::Test {
 protected:
  void SetUp() override { set_endpoints(default_endpoints(domain)); }
  void TearDown() override { set_endpoints(default_endpoints()); }

  std::string answer;
  test::RawServer server{[this](const test::RawRequest&) {
    return test::RawServer::response(answer, "Content-Type: text/html\r\n");
  }};
  std::string domain = "corvane.localhost:" + std::to_string(server.port());
};

TEST_F(ShortenerTest, SendsTheAddressUnencodedAndReturnsTheShortOne) {
  answer = R"({"status":1,"url":"http:\/\/s.x\/Q1"})";
  const std::string address = "http://dl." + domain + "/d/12/a.txt?k=1&n=2";
  EXPECT_EQ(shortener_request_url(address),
            "http://s." + domain + "/index.php?info=api&alias=&url=" + address);
  EXPECT_EQ(shorten_address(address), R"(http:\/\/s.x\/Q1)");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line,
            "GET /index.php?info=api&alias=&url=" + address + " HTTP/1.1");
  EXPECT_EQ(requests[0].header("Host"), "s." + domain);
  EXPECT_EQ(requests[0].body, "");
}

TEST_F(ShortenerTest, AnAnswerWithoutTheMemberOrNoAnswerGivesAnEmptyAddress) {
  answer = "<html>busy</html>";
  EXPECT_EQ(shorten_address("http://dl/a"), "");
  server.stop();
  EXPECT_EQ(shorten_address("http://dl/a"), "");
}

}  // namespace
}  // namespace corvane
