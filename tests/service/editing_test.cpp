#include "service/editing.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/guarded.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

const std::string DONE = "<script>parent.Q.f_s='ok';</script>";

class EditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.method != "POST" || test::form_fields(r.body)[0] == "gly_dl") return std::nullopt;
      return answer.get();
    });
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  // Runs call and returns the bodies it posted to the frame.
  std::vector<std::string> bodies_of(const std::function<bool(ServiceClient&)>& call,
                                     bool expected) {
    const std::size_t before = server.posts().size();
    EXPECT_EQ(call(client), expected);
    std::vector<std::string> out;
    auto posts = server.posts();
    for (std::size_t k = before; k < posts.size(); ++k) {
      EXPECT_EQ(posts[k].target, "/cx/kj.aspx?dlmc=demo");
      out.push_back(posts[k].body);
    }
    return out;
  }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
  Guarded<std::string> answer{DONE};  // read on the server thread
};

TEST_F(EditingTest, RequestBodies) {
  using Call = std::function<bool(ServiceClient&)>;
  struct Case {
    const char* name;
    Call call;
    std::string body;
  };
  const Case cases[] = {
      {"create: name encoded, password raw",
       [](ServiceClient& c) { return c.create_directory(gbk("目录 a_b"), "p&1"); },
       "Yz0=xzml&Yz1=%C4%BF%C2%BC%20a%5Fb&Yz2=&Yz3=p&1&Yz4=011000"},
      {"create: empty name and password still post",
       [](ServiceClient& c) { return c.create_directory("", ""); },
       "Yz0=xzml&Yz1=&Yz2=&Yz3=&Yz4=011000"},
      {"edit directory", [](ServiceClient& c) { return c.edit_directory("45", "a.b", "~~~~~~"); },
       "Yz0=xgml&Yz1=45&Yz2=a.b&Yz3=&Yz4=~~~~~~%7C011000"},
      {"edit directory: empty password",
       [](ServiceClient& c) { return c.edit_directory("45", gbk("新"), ""); },
       "Yz0=xgml&Yz1=45&Yz2=%D0%C2&Yz3=&Yz4=%7C011000"},
      {"edit file: moved to another directory",
       [](ServiceClient& c) { return c.edit_file("123", "45", "67", "r 1.txt"); },
       "Yz0=xgsj&Yz1=w_123&Yz2=r%201.txt&Yz3=&Yz4=45%2CZMm_67"},
      {"edit file: kept in place",
       [](ServiceClient& c) { return c.edit_file("123", "45", "45", "x"); },
       "Yz0=xgsj&Yz1=w_123&Yz2=x&Yz3=&Yz4=45%2CZMm_45"},
      {"edit sub-directory: names raw GBK",
       [](ServiceClient& c) { return c.edit_subdirectory("45", "67", gbk("旧 名"), gbk("新_名")); },
       gbk("Yz0=xgsj&Yz1=z_45_旧 名_i&Yz2=&Yz3=新_名&Yz4=45%2CZMm_67")},
      // Raw, the "&" would make the service rename "a" instead of "a&b", and store "c"
      // instead of "c&d=e".
      {"edit sub-directory: form delimiters in names escaped",
       [](ServiceClient& c) { return c.edit_subdirectory("45", "45", "a&b", "c&d=e+%"); },
       "Yz0=xgsj&Yz1=z_45_a%26b_i&Yz2=&Yz3=c%26d%3De%2B%25&Yz4=45%2CZMm_45"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bodies_of(c.call, true), std::vector<std::string>{c.body});
  }
}

TEST_F(EditingTest, OnlyTheExactMarkerIsSuccess) {
  const std::function<bool(ServiceClient&)> calls[] = {
      [](ServiceClient& c) { return c.create_directory("a", ""); },
      [](ServiceClient& c) { return c.edit_directory("1", "a", ""); },
      [](ServiceClient& c) { return c.edit_file("1", "2", "3", "a"); },
      [](ServiceClient& c) { return c.edit_subdirectory("2", "3", "a", "b"); },
  };
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
  };
  const Case cases[] = {
      {"marker deep inside a script block",
       gbk("<html><body>已保存<script>\nvar x=2;\nparent.Q.f_s=1;</script>"), true},
      {"marker in another letter case", "<script>PARENT.Q.F_S=1;</script>", false},
      {"empty answer", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    answer = c.answer;
    for (const auto& call : calls) EXPECT_EQ(bodies_of(call, c.ok).size(), 1u);
  }
}

TEST_F(EditingTest, FailedRequestIsFalse) {
  std::string dead;
  {
    test::ScriptedSpaceServer gone;
    dead = gone.domain();
  }
  client.frame_url = "http://demo." + dead + "/cx/kj.aspx?dlmc=demo";
  EXPECT_FALSE(client.create_directory("a", "b"));
  EXPECT_FALSE(client.edit_subdirectory("1", "2", "a", "b"));
}

}  // namespace
}  // namespace corvane
