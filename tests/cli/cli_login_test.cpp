#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

class CliLoginTest : public ::testing::Test {
 protected:
  test::ProcessResult cli(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {CORVANE_CLI_PATH, "--domain", server.domain()});
    // No saved proxy or domain from the environment may leak into the run.
    return test::run_process(args, input, {"http_proxy=http://127.0.0.1:9", "CORVANE_DOMAIN="});
  }
  test::ScriptedSpaceServer server;
};

TEST_F(CliLoginTest, ResultTextAndExitStatus) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* out;  // first line of standard output
    int exit_code;
  };
  const Case cases[] = {
      {"owner", {"--account", "demo", "--password", "pw", "login"}, "登录成功", 0},
      {"visitor", {"--account", "demo", "--visitor", "login"}, "游客身份", 0},
      {"wrong password", {"--account", "demo", "--password", "x", "login"}, "密码输入不正确", 1},
      {"no such space", {"--account", "ghost", "--password", "pw", "login"}, "账号不存在", 1},
      {"empty password", {"--account", "demo", "--password", "", "login"}, "密码不能空", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = cli(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(r.out, std::string(c.out) + "\n");
  }
}

TEST_F(CliLoginTest, UsageErrors) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"login"},                                    // no account
           {"--account", "demo", "--bogus", "login"},    // unknown option
           {"--account"},                                // missing value
           {"--account", "demo", "--password", "pw", "frobnicate"},
           {"--account", "demo", "--password", "pw", "login", "extra"},
       }) {
    auto r = cli(args);
    EXPECT_EQ(r.exit_code, 2) << r.err;
  }
  auto help = cli({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("login"), std::string::npos);
}

TEST_F(CliLoginTest, CaptchaIsAnsweredFromStandardInput) {
  test::SpaceBehaviour b;
  b.captcha = true;
  b.captcha_code = "abcd";
  server.set_behaviour(b);

  // A wrong length is refused before anything is posted; then a wrong code, then the
  // right one.
  auto r = cli({"--account", "demo", "--password", "pw", "login"}, "abc\nzzzz\nabcd\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "登录成功\n");
  EXPECT_NE(r.err.find("corvane-captcha-"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("验证码不准确"), std::string::npos) << r.err;
  auto posts = server.posts();
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[1].body, "Yz0=gly_dl&Yz1=pw&Yz2=zzzz&Yz3=&Yz4=");
  EXPECT_EQ(posts[2].body, "Yz0=gly_dl&Yz1=pw&Yz2=abcd&Yz3=&Yz4=");

  // End of input cancels.
  auto cancelled = cli({"--account", "demo", "--password", "pw", "login"});
  EXPECT_EQ(cancelled.exit_code, 1);
  EXPECT_EQ(cancelled.out, "放弃登录\n");
}

TEST_F(CliLoginTest, JsonDocument) {
  auto r = cli({"--json", "--account", "demo", "--password", "pw", "login"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["result"], "登录成功");
  EXPECT_EQ(doc["logged_in"], true);
  EXPECT_EQ(doc["account"], "demo");
}

TEST_F(CliLoginTest, ChinesePasswordTravelsAsGbk) {
  test::SpaceBehaviour b;
  b.password = std::string("\xC3\xDC", 2);  // 密
  server.set_behaviour(b);
  auto r = cli({"--account", "demo", "--password", "密", "login"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  auto posts = server.posts();
  ASSERT_FALSE(posts.empty());
  EXPECT_EQ(posts.back().body, "Yz0=gly_dl&Yz1=\xC3\xDC&Yz2=&Yz3=&Yz4=");
}

}  // namespace
}  // namespace corvane
