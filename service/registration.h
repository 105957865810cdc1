#pragma once
// Registration of a new space: the service's ASP.NET form on its main host, with a view
// state and a captcha. The request is ServiceClient::register_space (registration.cpp);
// what is read from the answers lives in the free functions below.
#include <optional>
#include <string>
#include <string_view>

#include "service/view_state.h"

namespace corvane {

// The service's alert for a wrong captcha (other alerts are refusals or notices).
inline constexpr const char* REGISTRATION_CAPTCHA_WRONG =
    "\xD1\xE9\xD6\xA4\xC2\xEB\xB2\xBB\xD5\xFD\xC8\xB7"; /* 验证码不正确 */
// The title of the message box that precedes asking for the captcha again.
inline constexpr const char* REGISTRATION_CAPTCHA_TITLE =
    "\xD7\xA2\xB2\xE1\xD1\xE9\xD6\xA4\xC2\xEB\xB4\xED\xCE\xF3"; /* 注册验证码错误 */
// The result when the form post got no answer at all (no connection, connection lost):
// nothing tells whether the space was created, so it must not read as a success.
inline constexpr const char* REGISTRATION_NO_ANSWER =
    "\xD7\xA2\xB2\xE1\xCA\xA7\xB0\xDC\xA3\xBA\xCE\xDE\xB7\xA8\xC1\xAC\xBD\xD3\xB7\xFE\xCE\xF1"
    "\xC6\xF7"; /* 注册失败：无法连接服务器 */

// "http://" + main host + "/register.aspx".
std::string register_url();

// The registration form, field by field: __EVENTTARGET and __EVENTARGUMENT empty, the
// view state fields, tedlmc = account, jbxz = the free 1000 MB plan, teem and teemqr =
// the encoded e-mail, temm and temmqr = password, teyzm = captcha, tjxx = the submit
// button. Account, password and captcha go in as typed, unencoded.
std::string registration_body(const ViewState& state, const std::string& account,
                              const std::string& password, const std::string& email,
                              const std::string& captcha);

// The text of the answer's alert('...'); "" when there is none.
std::string registration_alert(std::string_view answer);

// "恭喜你 Corvane盘空间注册成功！ 空间账号：" + account + "  空间密码：" + password.
std::string registration_success_text(const std::string& account, const std::string& password);

// What an answer to the form post means. answered is false when the post got no answer
// at all. nullopt: the captcha was wrong and must be asked again. Otherwise the text for
// the person: REGISTRATION_NO_ANSWER, the service's own alert unchanged, or, for an
// answer without an alert (a redirect that is not followed, for instance), the success
// text.
std::optional<std::string> registration_result(std::string_view answer, bool answered,
                                               const std::string& account,
                                               const std::string& password);

}  // namespace corvane
