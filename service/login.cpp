// Space login: find the space's content frame on its home page, then post the owner's
// password, answering captchas for as long as the service asks and the person answers.
#include "http/page_fetcher.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr const char* FRAME_MARKER = "id=\"frxcx\" src=\"http://";
constexpr const char* CAPTCHA_WANTED = "parent._CK.yzck.z.a";
constexpr const char* CAPTCHA_WRONG = "\xD1\xE9\xD6\xA4\xC2\xEB\xB2\xBB\xD5\xFD\xC8\xB7"; /* 验证码不正确 */
constexpr const char* CAPTCHA_WRONG_MESSAGE = "\xD1\xE9\xD6\xA4\xC2\xEB\xB2\xBB\xD7\xBC\xC8\xB7"; /* 验证码不准确 */
constexpr const char* PASSWORD_WRONG =
    "\xB9\xDC\xC0\xED\xC3\xDC\xC2\xEB\xCA\xE4\xC8\xEB\xB2\xBB\xD5\xFD\xC8\xB7\xA3\xA1"
    "\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4\xC8\xEB"; /* 管理密码输入不正确！请重新输入 */
constexpr const char* SPACE_MISSING =
    "\xBF\xD5\xBC\xE4\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xAC\xC7\xEB\xBC\xEC\xB2\xE9\xB5\xD8\xD6\xB7"
    "\xCA\xE4\xC8\xEB\xCA\xC7\xB7\xF1\xD5\xFD\xC8\xB7"; /* 空间不存在，请检查地址输入是否正确 */

}  // namespace

std::string ServiceClient::login(const std::string& account,
                                 const std::optional<std::string>& password,
                                 const std::optional<std::string>& proxy, int visitor_mode) {
  SessionState& s = *state_;
  const std::string pass = password.value_or("");
  if (visitor_mode == 0) {
    if (pass.empty()) {
      logged_in = 0;
      return login_result::EMPTY_PASSWORD;
    }
    s.set_login_password(pass);
  }
  s.set_account_name(account);
  s.set_proxy_address(proxy.value_or(""));
  visitor = visitor_mode;

  const std::string domain = SERVICE_DOMAIN();
  FetchOptions home_options;
  home_options.proxy = s.proxy_address();
  const std::string home =
      text_of_body(fetch_page("http://" + account + "." + domain + "/", home_options));

  frame_url = "http://" + text_between(home, FRAME_MARKER, "\"");
  s.set_content_base_url("http://" + text_between(frame_url.get(), "http://", domain) + domain +
                         "/");

  if (visitor_mode == 1) {
    if (contains(home, SPACE_MISSING)) return login_result::NO_SUCH_ACCOUNT;
    if (!home.empty()) {
      logged_in = 1;
      return login_result::VISITOR;
    }
    return login_result::FAILED;
  }

  std::string answer = post_form("gly_dl", pass, "", "", "", true);
  while (true) {
    const bool asked = contains(answer, CAPTCHA_WANTED);
    if (asked) {
      s.set_captcha_purpose(CAPTCHA_SPACE_LOGIN);
      prompter_->ask_captcha(s);
      const std::string code = s.captcha_answer();
      if (code.empty()) {
        logged_in = 0;
        return login_result::CANCELLED;
      }
      answer = post_form("gly_dl", pass, code, "", "", true);
      if (contains(answer, CAPTCHA_WRONG))
        prompter_->show_message(CAPTCHA_WRONG_MESSAGE, "", MessageButtons::ok);
    }
    if (!contains(answer, CAPTCHA_WRONG)) break;
    // "Wrong captcha" without a new captcha to answer: asking again would repeat the same
    // test for ever, so the attempt ends here as a failed login.
    if (!contains(answer, CAPTCHA_WANTED)) {
      logged_in = 0;
      return login_result::FAILED;
    }
  }

  if (contains(answer, PASSWORD_WRONG)) {
    logged_in = 0;
    return login_result::WRONG_PASSWORD;
  }
  if (answer.empty()) {
    logged_in = 0;
    return login_result::NO_SUCH_ACCOUNT;
  }
  logged_in = 1;
  return login_result::OK;
}

}  // namespace corvane
