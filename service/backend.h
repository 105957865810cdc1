#pragma once
// The service's back end on its main web host: an ASP.NET login form with a captcha, and
// the page that lists the files deleted within the last five days and restores them all.
// The requests are members of ServiceClient (backend.cpp); what is read from the pages
// lives in the free functions below, so it can be exercised without a network.
#include <functional>
#include <string>
#include <string_view>

#include "service/view_state.h"
#include "text/gbk_text.h"

namespace corvane {

// The back end's verdict on a wrong captcha, as its login script carries it.
inline constexpr const char* BACKEND_CAPTCHA_WRONG =
    "\xD1\xE9\xD6\xA4\xC2\xEB\xB2\xBB\xD5\xFD\xC8\xB7\xA3\xA1"; /* 验证码不正确！ */
// What the person is told before the captcha is asked again (back end and registration).
inline constexpr const char* CAPTCHA_RETRY_MESSAGE =
    "\xD1\xE9\xD6\xA4\xC2\xEB\xB2\xBB\xD5\xFD\xC8\xB7\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4"
    "\xC8\xEB\xA1\xA3"; /* 验证码不正确，请重新输入。 */
// The notice of the deleted-files page when there is nothing to restore.
inline constexpr const char* NOTHING_DELETED =
    "\xC4\xFA\xBF\xD5\xBC\xE4\xC4\xDA\xC3\xBB\xD3\xD0\xB2\xE9\xD1\xAF\xB5\xBD"
    "5\xCC\xEC\xC4\xDA\xC9\xBE\xB3\xFD\xB5\xC4\xCE\xC4\xBC\xFE\xA1\xA3"; /* 您空间内没有查询到5天内删除的文件。 */

// "http://" + main host + "/ht/login.aspx?dlmc=" + account (the account as it stands).
std::string backend_login_url(const std::string& account);
// "http://" + main host + "/ht/qt/hywj.aspx", the deleted-files page.
std::string recover_url();

// The login form: view state fields, then account (dl1), password (dl2) and captcha (dl3)
// unencoded, then the button "登 录" as the browser sends it.
std::string backend_login_body(const ViewState& state, const std::string& account,
                               const std::string& password, const std::string& captcha);
// The message of the login answer's script (var ts = "...";); "" when there is none.
std::string backend_login_message(std::string_view answer);

// Appends one entry per deleted-file row of the page, in page order: name, size and
// deletion time exactly as the page shows them. after_row, when set, runs after each row
// (the window thread lets its pending events through there). Returns the rows found.
int parse_deleted_files(std::string_view page, TextList& names, TextList& sizes,
                        TextList& deleted, const std::function<void()>& after_row = {});
// The bold notice line of the deleted-files page, tags and all; "" when there is none.
std::string deleted_files_notice(std::string_view page);
// The notice without the colour and span tags the page wraps around its words.
std::string strip_notice_tags(std::string_view notice);

// The restore form: view state fields, then the button "恢复所有5天内删除文件".
std::string restore_body(const ViewState& state);

}  // namespace corvane
