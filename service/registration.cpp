// Registration of a new space. The client never logs in for it; the captcha image and the
// form share the cookie store, which ties the captcha to the form's session.
#include "service/registration.h"

#include "http/page_fetcher.h"
#include "service/backend.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "service/url_encode.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

// 免费型1000兆, the free plan of 1000 MB, GBK percent-encoded.
constexpr const char* FREE_PLAN = "%C3%E2%B7%D1%D0%CD1000%D5%D7";
// 接受注册协议并提交注册资料, the submit button's caption, GBK percent-encoded.
constexpr const char* SUBMIT_BUTTON =
    "%BD%D3%CA%DC%D7%A2%B2%E1%D0%AD%D2%E9%B2%A2%CC%E1%BD%BB%D7%A2%B2%E1%D7%CA%C1%CF";

constexpr const char* SUCCESS_HEAD =
    "\xB9\xA7\xCF\xB2\xC4\xE3 Corvane\xC5\xCC\xBF\xD5\xBC\xE4\xD7\xA2\xB2\xE1\xB3\xC9\xB9\xA6"
    "\xA3\xA1 \xBF\xD5\xBC\xE4\xD5\xCB\xBA\xC5\xA3\xBA"; /* 恭喜你 Corvane盘空间注册成功！ 空间账号： */
constexpr const char* SUCCESS_PASSWORD = "  \xBF\xD5\xBC\xE4\xC3\xDC\xC2\xEB\xA3\xBA"; /*   空间密码： */

}  // namespace

std::string register_url() { return "http://" + SERVICE_MAIN_HOST() + "/register.aspx"; }

std::string registration_body(const ViewState& state, const std::string& account,
                              const std::string& password, const std::string& email,
                              const std::string& captcha) {
  const std::string mail = url_encode(email);
  return "__EVENTTARGET=&__EVENTARGUMENT=&" + view_state_fields(state) + "&tedlmc=" + account +
         "&jbxz=" + FREE_PLAN + "&teem=" + mail + "&teemqr=" + mail + "&temm=" + password +
         "&temmqr=" + password + "&teyzm=" + captcha + "&tjxx=" + SUBMIT_BUTTON;
}

std::string registration_alert(std::string_view answer) {
  return text_between(answer, "alert('", "');");
}

std::string registration_success_text(const std::string& account, const std::string& password) {
  return SUCCESS_HEAD + account + SUCCESS_PASSWORD + password;
}

std::optional<std::string> registration_result(std::string_view answer, bool answered,
                                               const std::string& account,
                                               const std::string& password) {
  if (!answered) return std::string(REGISTRATION_NO_ANSWER);
  std::string alert = registration_alert(answer);
  if (alert == REGISTRATION_CAPTCHA_WRONG) return std::nullopt;
  if (!alert.empty()) return alert;
  return registration_success_text(account, password);
}

std::string ServiceClient::register_space(const std::string& account, const std::string& password,
                                          const std::string& email) {
  SessionState& s = *state_;
  const std::string url = register_url();
  // A wrong captcha is answered on the same form: the view state read here is posted again.
  const ViewState view = extract_view_state(text_of_body(fetch_page(url)));

  while (true) {
    s.set_captcha_purpose(CAPTCHA_REGISTRATION);
    prompter_->ask_captcha(s);
    const std::string captcha = s.captcha_answer();
    if (captcha.empty()) return {};

    FetchOptions post;
    post.method = 1;
    post.no_redirect = true;
    post.post_text = registration_body(view, account, password, email, captcha);
    // An answer without a body (a redirect) still has a header block; an empty block
    // means no answer came at all.
    std::string headers;
    post.raw_headers = &headers;
    const std::string answer = text_of_body(fetch_page(url, post));

    std::optional<std::string> result =
        registration_result(answer, !headers.empty(), account, password);
    if (result) return *result;
    prompter_->show_message(CAPTCHA_RETRY_MESSAGE, REGISTRATION_CAPTCHA_TITLE, MessageButtons::ok);
  }
}

}  // namespace corvane
