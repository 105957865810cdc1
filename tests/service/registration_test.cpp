#include "service/registration.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/raw_server.h"
#include "tests/support/scripted_prompter.h"

namespace corvane {
namespace {

using test::gbk;

const std::string REGISTER_PAGE =
    "<form method=\"post\" action=\"register.aspx\">"
    "<input type=\"hidden\" name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"/wEP+zc=\" />"
    "<input type=\"hidden\" name=\"__EVENTVALIDATION\" id=\"__EVENTVALIDATION\" value=\"ev/9\" />"
    "</form>";
const std::string BODY_HEAD =
    "__EVENTTARGET=&__EVENTARGUMENT=&__VIEWSTATE=%2FwEP%2Bzc%3D&__EVENTVALIDATION=ev%2F9";
const std::string FREE_PLAN = "&jbxz=%C3%E2%B7%D1%D0%CD1000%D5%D7";
const std::string SUBMIT =
    "&tjxx=%BD%D3%CA%DC%D7%A2%B2%E1%D0%AD%D2%E9%B2%A2%CC%E1%BD%BB%D7%A2%B2%E1%D7%CA%C1%CF";

std::string alert(const std::string& utf8) {
  return gbk("<script>alert('" + utf8 + "');location.href='register.aspx';</script>");
}

// A bodiless redirect, as the service answers a registration it carried out.
const std::string REDIRECT =
    test::RawServer::response("", "Location: /ht/welcome.aspx", "302 Found");

// The registration page on a raw server that plays the main host: GET answers the form,
// each POST the next scripted answer (raw bytes; "" drops the connection unanswered).
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints({"corvane.localhost", "127.0.0.1:" + std::to_string(server.port()), "s.invalid"});
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void answer(test::RawConnection& c) {
    const test::RawRequest& r = c.request();
    if (r.method() == "GET") {
      c.write(test::RawServer::response(r.target() == "/register.aspx" ? REGISTER_PAGE : "elsewhere"));
      return;
    }
    std::string a;
    {
      std::lock_guard lock(mutex);
      if (!post_answers.empty()) {
        a = post_answers.front();
        post_answers.pop_front();
      }
    }
    if (a.empty())
      c.reset();
    else
      c.write(a);
  }

  std::vector<test::RawRequest> requests(const std::string& method) const {
    std::vector<test::RawRequest> out;
    for (auto& r : server.requests())
      if (r.method() == method) out.push_back(r);
    return out;
  }

  std::mutex mutex;
  std::deque<std::string> post_answers;
  test::RawServer server{[this](test::RawConnection& c) { answer(c); }, 0};
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(RegistrationTest, RedirectWithoutBodyIsASuccessAndTheFormIsExact) {
  post_answers = {REDIRECT};
  prompter.captcha_answers = {"x9Yz"};
  // A session proxy is not used here: a proxied request would name the whole address.
  state.set_proxy_address("127.0.0.1:" + std::to_string(server.port()));

  EXPECT_EQ(client.register_space(gbk("新空间"), "p+w&1", "first.last@mail.example.cn"),
            gbk("恭喜你 Corvane盘空间注册成功！ 空间账号：新空间  空间密码：p+w&1"));

  auto gets = requests("GET");
  ASSERT_EQ(gets.size(), 1u);  // the redirect is not followed
  EXPECT_EQ(gets[0].target(), "/register.aspx");
  auto posts = requests("POST");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].target(), "/register.aspx");
  // Account, password and captcha as typed; the e-mail encoded, full stops kept.
  EXPECT_EQ(posts[0].body, BODY_HEAD + "&tedlmc=" + gbk("新空间") + FREE_PLAN +
                               "&teem=first.last%40mail.example.cn"
                               "&teemqr=first.last%40mail.example.cn"
                               "&temm=p+w&1&temmqr=p+w&1&teyzm=x9Yz" +
                               SUBMIT);
  EXPECT_EQ(prompter.captcha_purposes(), std::vector<std::string>{gbk("注册")});
  EXPECT_EQ(captcha_image_url(state),
            "http://" + SERVICE_MAIN_HOST() + "/ht/sjzx/cv_vf_img.aspx?lx=zc&sj=");
  EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(RegistrationTest, AnswersOfTheService) {
  struct Case {
    const char* name;
    std::string answer;  // raw HTTP answer
    std::string result;  // GBK
  };
  const std::string success = gbk("恭喜你 Corvane盘空间注册成功！ 空间账号：bob  空间密码：pw");
  const Case cases[] = {
      {"refusal returned unchanged", test::RawServer::response(alert("该账号已被注册")),
       gbk("该账号已被注册")},
      {"page without an alert", test::RawServer::response("<html>ok</html>"), success},
      {"empty page", test::RawServer::response(""), success},
      {"empty alert", test::RawServer::response("<script>alert('');</script>"), success},
      {"error status without an alert", test::RawServer::response("oops", "", "500 Error"),
       success},
      {"redirect with a body", test::RawServer::response("<a href=x>moved</a>", "Location: /x",
                                                         "302 Found"),
       success},
      {"no answer at all", "", gbk("注册失败：无法连接服务器")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    post_answers = {c.answer};
    prompter.captcha_answers = {"abcd"};
    EXPECT_EQ(client.register_space("bob", "pw", "b@c.d"), c.result);
  }
  EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(RegistrationTest, WrongCaptchaAsksAgainWithTheSameViewState) {
  post_answers = {test::RawServer::response(alert("验证码不正确")), REDIRECT};
  prompter.captcha_answers = {"aaaa", "bbbb"};

  EXPECT_EQ(client.register_space("bob", "pw", "b@c.d"),
            gbk("恭喜你 Corvane盘空间注册成功！ 空间账号：bob  空间密码：pw"));
  auto messages = prompter.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, gbk("验证码不正确，请重新输入。"));
  EXPECT_EQ(messages[0].title, gbk("注册验证码错误"));
  EXPECT_EQ(messages[0].buttons, MessageButtons::ok);

  EXPECT_EQ(requests("GET").size(), 1u);
  auto posts = requests("POST");
  ASSERT_EQ(posts.size(), 2u);
  const char* codes[] = {"aaaa", "bbbb"};
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(posts[i].body, BODY_HEAD + "&tedlmc=bob" + FREE_PLAN +
                                 "&teem=b%40c.d&teemqr=b%40c.d&temm=pw&temmqr=pw&teyzm=" +
                                 codes[i] + SUBMIT);
}

TEST_F(RegistrationTest, CancelledCaptchaGivesAnEmptyResult) {
  prompter.captcha_answers = {""};
  EXPECT_EQ(client.register_space("bob", "pw", "b@c.d"), "");
  EXPECT_TRUE(requests("POST").empty());

  post_answers = {test::RawServer::response(alert("验证码不正确"))};
  prompter.captcha_answers = {"aaaa"};  // then cancel
  EXPECT_EQ(client.register_space("bob", "pw", "b@c.d"), "");
  EXPECT_EQ(requests("POST").size(), 1u);
  EXPECT_EQ(prompter.messages().size(), 1u);
}

TEST_F(RegistrationTest, NoServerAtAllIsAFailure) {
  server.stop();
  prompter.captcha_answers = {"abcd"};
  EXPECT_EQ(client.register_space("bob", "pw", "b@c.d"), REGISTRATION_NO_ANSWER);
}

TEST(RegistrationParsers, Result) {
  struct Case {
    const char* name;
    std::string answer;
    bool answered;
    std::optional<std::string> result;
  };
  const std::string success = registration_success_text("a", "p");
  const Case cases[] = {
      {"wrong captcha asks again", gbk("alert('验证码不正确');"), true, std::nullopt},
      {"longer text is a refusal", gbk("alert('验证码不正确！');"), true, gbk("验证码不正确！")},
      {"first alert counts", "alert('one');alert('two');", true, "one"},
      {"alert not closed", "alert('one'", true, success},
      {"double quotes are no alert", "alert(\"one\");", true, success},
      {"no answer, whatever the text", gbk("alert('验证码不正确');"), false,
       std::string(REGISTRATION_NO_ANSWER)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(registration_result(c.answer, c.answered, "a", "p"), c.result);
  }
  EXPECT_EQ(success, gbk("恭喜你 Corvane盘空间注册成功！ 空间账号：a  空间密码：p"));
}

}  // namespace
}  // namespace corvane
