#include <gtest/gtest.h>

#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override { set_endpoints(default_endpoints(server.domain())); }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void behave(const test::SpaceBehaviour& b) { server.set_behaviour(b); }
  std::string home() const { return "http://demo." + server.domain() + "/"; }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(LoginTest, OwnerLoginFindsTheFrameAndPostsThePasswordUnencoded) {
  test::SpaceBehaviour b;
  b.password = "p&w=1";
  behave(b);

  EXPECT_EQ(client.login("demo", std::string("p&w=1")), gbk("登录成功"));
  EXPECT_EQ(client.logged_in.get(), 1);
  EXPECT_EQ(client.visitor.get(), 0);
  EXPECT_EQ(client.frame_url.get(), "http://demo." + server.domain() + "/cx/kj.aspx?dlmc=demo");
  // The content base is the frame's scheme and host, without its path.
  EXPECT_EQ(state.content_base_url(), home());
  EXPECT_EQ(state.account_name(), "demo");
  EXPECT_EQ(state.login_password(), "p&w=1");
  EXPECT_EQ(state.proxy_address(), "");

  auto posts = server.posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].target, "/cx/kj.aspx?dlmc=demo");
  EXPECT_EQ(posts[0].body, "Yz0=gly_dl&Yz1=p&w=1&Yz2=&Yz3=&Yz4=");
  // The session cookie of the home page goes back with the post, from the shared store.
  EXPECT_NE(posts[0].cookie.find("ASP.NET_SessionId=s"), std::string::npos);
  EXPECT_TRUE(prompter.captcha_purposes().empty());
}

TEST_F(LoginTest, OwnerResults) {
  struct Case {
    const char* name;
    test::SpaceBehaviour behaviour;
    std::string account, password;
    const char* result;  // UTF-8
    int posts;
  };
  test::SpaceBehaviour normal;
  test::SpaceBehaviour no_frame;
  no_frame.frame_marker = false;
  test::SpaceBehaviour empty_answer;
  empty_answer.empty_post_answer = true;
  const Case cases[] = {
      {"wrong password", normal, "demo", "nope", "密码输入不正确", 1},
      {"empty password sends nothing", normal, "demo", "", "密码不能空", 0},
      {"no frame on the home page", no_frame, "demo", "pw", "账号不存在", 0},
      {"empty answer to the post", empty_answer, "demo", "pw", "账号不存在", 1},
      {"unknown space", normal, "nobody", "pw", "账号不存在", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    behave(c.behaviour);
    size_t before = server.posts().size();
    client.logged_in = 1;
    EXPECT_EQ(client.login(c.account, c.password), gbk(c.result));
    EXPECT_EQ(client.logged_in.get(), 0);
    EXPECT_EQ(server.posts().size() - before, static_cast<size_t>(c.posts));
  }
}

TEST_F(LoginTest, EmptyPasswordLeavesTheSessionUntouched) {
  state.set_account_name("earlier");
  EXPECT_EQ(client.login("demo", std::string()), gbk("密码不能空"));
  EXPECT_EQ(client.login("demo"), gbk("密码不能空"));
  EXPECT_EQ(state.account_name(), "earlier");
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(LoginTest, VisitorResults) {
  EXPECT_EQ(client.login("demo", {}, {}, 1), gbk("游客身份"));
  EXPECT_EQ(client.logged_in.get(), 1);
  EXPECT_EQ(client.visitor.get(), 1);
  EXPECT_TRUE(server.posts().empty());

  // A missing space leaves logged_in as it was.
  client.logged_in = 1;
  EXPECT_EQ(client.login("nobody", {}, {}, 1), gbk("账号不存在"));
  EXPECT_EQ(client.logged_in.get(), 1);
  client.logged_in = 0;
  EXPECT_EQ(client.login("nobody", {}, {}, 1), gbk("账号不存在"));
  EXPECT_EQ(client.logged_in.get(), 0);
}

TEST_F(LoginTest, VisitorWithoutAnyAnswerFails) {
  // Nothing listens on this domain's port once the server is gone.
  std::string dead;
  {
    test::ScriptedSpaceServer gone;
    dead = gone.domain();
  }
  set_endpoints(default_endpoints(dead));
  client.logged_in = 0;
  EXPECT_EQ(client.login("demo", {}, {}, 1), gbk("登录失败"));
  EXPECT_EQ(client.logged_in.get(), 0);
  EXPECT_EQ(client.frame_url.get(), "http://");
  EXPECT_EQ(client.login("demo", std::string("pw")), gbk("账号不存在"));
}

TEST_F(LoginTest, WrongCaptchaThenRightOne) {
  test::SpaceBehaviour b;
  b.captcha = true;
  b.captcha_code = "k7Qz";
  behave(b);
  prompter.load_images = true;
  prompter.captcha_answers = {"aaaa", "k7Qz"};

  EXPECT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
  EXPECT_EQ(client.logged_in.get(), 1);

  auto purposes = prompter.captcha_purposes();
  ASSERT_EQ(purposes.size(), 2u);
  EXPECT_EQ(purposes[0], gbk("管理登录"));
  // The captcha image comes from the content host of this very session.
  EXPECT_EQ(captcha_image_url(state), home() + "sjzx/cv_vf_img.aspx?lx=demoly&sj=");
  for (const auto& image : prompter.images()) EXPECT_EQ(image.substr(0, 4), "\x89PNG");

  auto messages = prompter.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, gbk("验证码不准确"));
  EXPECT_EQ(messages[0].buttons, MessageButtons::ok);

  auto posts = server.posts();
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[0].body, "Yz0=gly_dl&Yz1=pw&Yz2=&Yz3=&Yz4=");
  EXPECT_EQ(posts[1].body, "Yz0=gly_dl&Yz1=pw&Yz2=aaaa&Yz3=&Yz4=");
  EXPECT_EQ(posts[2].body, "Yz0=gly_dl&Yz1=pw&Yz2=k7Qz&Yz3=&Yz4=");
}

TEST_F(LoginTest, CaptchaCancelledGivesUp) {
  test::SpaceBehaviour b;
  b.captcha = true;
  behave(b);
  prompter.captcha_answers = {"aaaa", ""};
  client.logged_in = 1;

  EXPECT_EQ(client.login("demo", std::string("pw")), gbk("放弃登录"));
  EXPECT_EQ(client.logged_in.get(), 0);
  EXPECT_EQ(server.posts().size(), 2u);
  // The attempt's addresses stay.
  EXPECT_EQ(state.account_name(), "demo");
  EXPECT_EQ(state.content_base_url(), home());
}

TEST_F(LoginTest, RightCaptchaButWrongPassword) {
  test::SpaceBehaviour b;
  b.captcha = true;
  behave(b);
  prompter.captcha_answers = {"abcd"};
  EXPECT_EQ(client.login("demo", std::string("bad")), gbk("密码输入不正确"));
  EXPECT_EQ(client.logged_in.get(), 0);
}

TEST_F(LoginTest, WrongCaptchaWithoutANewOneEndsTheAttempt) {
  // Without a new captcha to answer, asking again could never change the answer.
  test::SpaceBehaviour b;
  b.wrong_captcha_only = true;
  behave(b);
  EXPECT_EQ(client.login("demo", std::string("pw")), gbk("登录失败"));
  EXPECT_EQ(client.logged_in.get(), 0);
  EXPECT_EQ(server.posts().size(), 1u);

  b.wrong_captcha_only = false;
  b.captcha = true;
  b.wrong_captcha_asks_again = false;
  behave(b);
  prompter.captcha_answers = {"zzzz"};
  EXPECT_EQ(client.login("demo", std::string("pw")), gbk("登录失败"));
  EXPECT_EQ(prompter.messages().size(), 1u);
}

TEST_F(LoginTest, CopiesAreIndependent) {
  behave({});
  ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
  ServiceClient copy = client;
  copy.frame_url = "http://elsewhere/";
  copy.logged_in = 0;
  EXPECT_EQ(client.frame_url.get(), "http://demo." + server.domain() + "/cx/kj.aspx?dlmc=demo");
  EXPECT_EQ(client.logged_in.get(), 1);
}

}  // namespace
}  // namespace corvane
