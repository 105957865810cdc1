// Back-end login and the recovery of deleted files. The back end is a separate ASP.NET
// site on the main host: its login cookies travel through the process-wide cookie store,
// so the restore request of another ServiceClient is authorised by an earlier login here.
#include "service/backend.h"

#include "app/threads.h"
#include "http/page_fetcher.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/regex_matcher.h"
#include "service/service_client.h"

namespace corvane {

namespace {

// The login button's caption " 登 录 " as the browser posts it: GBK, blanks as "+".
constexpr const char* LOGIN_BUTTON = "&bu1=+%B5%C7+%C2%BC+";
// The restore button's caption 恢复所有5天内删除文件, GBK percent-encoded.
constexpr const char* RESTORE_BUTTON =
    "&bu1=%BB%D6%B8%B4%CB%F9%D3%D05%CC%EC%C4%DA%C9%BE%B3%FD%CE%C4%BC%FE";

constexpr const char* MESSAGE_LEFT = "var ts = \"";
constexpr const char* MESSAGE_RIGHT = "\";";
constexpr const char* NOTICE_LEFT = "font-size:10pt;\"><b>";
constexpr const char* NOTICE_RIGHT = "</b></p>";

constexpr const char* DELETED_ROW =
    "</td><td>(.*?)</td><td></td><td style='text-align:right;'>(.*?)</td>"
    "<td style='text-align:right;'>(.*?)</td></tr>";

// Removed in this order; the page nests them, so the order is part of the result.
constexpr const char* NOTICE_TAGS[] = {"<font color=blue>", "</font>", "</span>",
                                       "<span id=\"czts\">"};

}  // namespace

std::string backend_login_url(const std::string& account) {
  return "http://" + SERVICE_MAIN_HOST() + "/ht/login.aspx?dlmc=" + account;
}

std::string recover_url() { return "http://" + SERVICE_MAIN_HOST() + "/ht/qt/hywj.aspx"; }

std::string backend_login_body(const ViewState& state, const std::string& account,
                               const std::string& password, const std::string& captcha) {
  return view_state_fields(state) + "&dl1=" + account + "&dl2=" + password + "&dl3=" + captcha +
         LOGIN_BUTTON;
}

std::string backend_login_message(std::string_view answer) {
  return text_between(answer, MESSAGE_LEFT, MESSAGE_RIGHT);
}

int parse_deleted_files(std::string_view page, TextList& names, TextList& sizes,
                        TextList& deleted, const std::function<void()>& after_row) {
  RegexMatcher rows;
  rows.create(DELETED_ROW, page);
  const int count = rows.count();
  for (int n = 1; n <= count; ++n) {
    names.push_back(rows.submatch(n, 1));
    sizes.push_back(rows.submatch(n, 2));
    deleted.push_back(rows.submatch(n, 3));
    if (after_row) after_row();
  }
  return count;
}

std::string deleted_files_notice(std::string_view page) {
  return text_between(page, NOTICE_LEFT, NOTICE_RIGHT);
}

std::string strip_notice_tags(std::string_view notice) {
  std::string text(notice);
  for (const char* tag : NOTICE_TAGS) text = replace_all(text, tag, "");
  return text;
}

std::string restore_body(const ViewState& state) { return view_state_fields(state) + RESTORE_BUTTON; }

bool ServiceClient::backend_login() {
  SessionState& s = *state_;
  const std::string account = s.account_name();
  const std::string url = backend_login_url(account);

  FetchOptions page_options;
  page_options.proxy = s.proxy_address();
  // A wrong captcha is answered on the same form: the view state read here is posted again.
  const ViewState view = extract_view_state(text_of_body(fetch_page(url, page_options)));

  while (true) {
    s.set_captcha_purpose(CAPTCHA_BACKEND_LOGIN);
    prompter_->ask_captcha(s);
    const std::string captcha = s.captcha_answer();
    if (captcha.empty()) return false;

    FetchOptions post;
    post.method = 1;
    post.proxy = s.proxy_address();
    post.post_text = backend_login_body(view, account, s.login_password(), captcha);
    // Every answer has a header block, so an empty one means the post got no answer at
    // all: nothing was accepted, and the back end must not count as logged in.
    std::string headers;
    post.raw_headers = &headers;
    const std::string answer = text_of_body(fetch_page(url, post));
    if (headers.empty()) return false;

    // The service refuses nothing else recognisably: any other message, or none, is taken
    // as an accepted login.
    if (backend_login_message(answer) != BACKEND_CAPTCHA_WRONG) break;
    prompter_->show_message(CAPTCHA_RETRY_MESSAGE, "", MessageButtons::ok);
  }
  backend_logged_in = 1;
  return true;
}

std::string ServiceClient::list_deleted_files(TextList& names, TextList& sizes,
                                              TextList& deleted) {
  names.clear();
  sizes.clear();
  deleted.clear();
  backend_login();
  // Once logged in, a later cancelled captcha still reads the page with the cookies left.
  if (backend_logged_in.get() == 0) return {};

  const std::string page = text_of_body(fetch_page(recover_url()));
  parse_deleted_files(page, names, sizes, deleted, process_pending_messages);
  return strip_notice_tags(deleted_files_notice(page));
}

std::string ServiceClient::restore_deleted_files() {
  // Relies on the back-end cookies of an earlier backend_login, whichever client made it.
  const std::string url = recover_url();
  const std::string page = text_of_body(fetch_page(url));
  const std::string notice = deleted_files_notice(page);
  if (notice == NOTHING_DELETED) return notice;

  FetchOptions post;
  post.method = 1;
  post.post_text = restore_body(extract_view_state(page));
  return deleted_files_notice(text_of_body(fetch_page(url, post)));
}

}  // namespace corvane
