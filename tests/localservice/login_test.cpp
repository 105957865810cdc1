// The client's own login against the local service: owner and visitor sessions, the
// captcha that follows a wrong password, and the markers of the home page.
#include <gtest/gtest.h>

#include "tests/localservice/service_fixture.h"

namespace corvane::test {
namespace {

class ServiceLoginTest : public LocalServiceTest {
 protected:
  SessionState state;
  ReadingPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(ServiceLoginTest, OwnerWithTheRightPasswordNeedsNoCaptcha) {
  EXPECT_EQ(client.login("demo", std::string("demo")), gbk("登录成功"));
  EXPECT_EQ(client.logged_in.get(), 1);
  EXPECT_EQ(client.frame_url.get(), "http://" + space_host() + "/cx/kj.aspx?dlmc=demo");
  EXPECT_EQ(state.content_base_url(), "http://" + space_host() + "/");
  EXPECT_TRUE(prompter.purposes().empty());
}

TEST_F(ServiceLoginTest, WrongPasswordThenTheCaptchaThenTheRightPassword) {
  EXPECT_EQ(client.login("demo", std::string("wrong")), gbk("密码输入不正确"));
  EXPECT_EQ(client.logged_in.get(), 0);
  EXPECT_TRUE(prompter.purposes().empty());  // the first wrong password costs no captcha

  // From now on the space asks for a captcha, also with the wrong password again.
  EXPECT_EQ(client.login("demo", std::string("still wrong")), gbk("密码输入不正确"));
  ASSERT_EQ(prompter.purposes().size(), 1u);
  EXPECT_EQ(prompter.purposes()[0], CAPTCHA_SPACE_LOGIN);

  EXPECT_EQ(client.login("demo", std::string("demo")), gbk("登录成功"));
  EXPECT_EQ(prompter.purposes().size(), 2u);
  EXPECT_TRUE(prompter.messages().empty());

  // A successful login ends the need for a captcha.
  clear_cookie_store();
  ServiceClient again(state, prompter);
  EXPECT_EQ(again.login("demo", std::string("demo")), gbk("登录成功"));
  EXPECT_EQ(prompter.purposes().size(), 2u);
}

TEST_F(ServiceLoginTest, WrongCaptchaIsToldAndAskedAgain) {
  EXPECT_EQ(client.login("demo", std::string("wrong")), gbk("密码输入不正确"));
  prompter.wrong_answers = 2;
  EXPECT_EQ(client.login("demo", std::string("demo")), gbk("登录成功"));
  EXPECT_EQ(prompter.purposes().size(), 3u);
  EXPECT_EQ(prompter.messages(), std::vector<std::string>(2, gbk("验证码不准确")));
}

TEST_F(ServiceLoginTest, CancelledCaptchaEndsTheLogin) {
  EXPECT_EQ(client.login("demo", std::string("wrong")), gbk("密码输入不正确"));
  prompter.cancel_captcha = true;
  EXPECT_EQ(client.login("demo", std::string("demo")), gbk("放弃登录"));
  EXPECT_EQ(client.logged_in.get(), 0);
}

TEST_F(ServiceLoginTest, AnAnswerForAnotherPictureDoesNotCount) {
  // The captcha belongs to the session that loaded the picture, and only the latest
  // picture counts.
  EXPECT_EQ(client.login("demo", std::string("wrong")), gbk("密码输入不正确"));
  state.set_captcha_purpose(CAPTCHA_SPACE_LOGIN);
  const std::string first = read_captcha(load_captcha_image(state));
  const std::string second = read_captcha(load_captcha_image(state));
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  std::string answer = client.post_form("gly_dl", "demo", first == second ? "ZZZZ" : first);
  EXPECT_NE(answer.find(gbk("验证码不正确")), std::string::npos);
  EXPECT_NE(answer.find("parent._CK.yzck.z.a"), std::string::npos);  // and a new captcha
  // A picture answers one attempt only: the right code of a used picture fails too.
  answer = client.post_form("gly_dl", "demo", second);
  EXPECT_NE(answer.find(gbk("验证码不正确")), std::string::npos);
}

TEST_F(ServiceLoginTest, VisitorSessions) {
  EXPECT_EQ(client.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  EXPECT_EQ(client.logged_in.get(), 1);
  EXPECT_EQ(client.visitor.get(), 1);

  ServiceClient nobody(state, prompter);
  EXPECT_EQ(nobody.login("nobody", std::nullopt, std::nullopt, 1), gbk("账号不存在"));
  EXPECT_EQ(nobody.logged_in.get(), 0);
  EXPECT_EQ(nobody.login("nobody", std::string("pw")), gbk("账号不存在"));
}

TEST_F(ServiceLoginTest, HomePageCarriesTheFrameAndTheSpaceSize) {
  auto r = get(space_host(), "/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_NE(r->body.find("id=\"frxcx\" src=\"http://" + space_host() + "/cx/kj.aspx?dlmc=demo\""),
            std::string::npos);
  EXPECT_NE(r->body.find(gbk("空间:<label id=\"kjz1\">1000</label>M")), std::string::npos);
  EXPECT_NE(r->get_header_value("Set-Cookie").find("ASP.NET_SessionId="), std::string::npos);
  EXPECT_NE(r->get_header_value("Content-Type").find("gb2312"), std::string::npos);

  auto missing = get(space_host("nobody"), "/");
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->body.find(gbk("空间不存在，请检查地址输入是否正确")), std::string::npos);
  EXPECT_EQ(missing->body.find("frxcx"), std::string::npos);
}

}  // namespace
}  // namespace corvane::test
