#include "service/backend.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "app/threads.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/raw_server.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

// Hidden fields as ASP.NET writes them: base64, so "/", "+" and "=" must be encoded.
const std::string LOGIN_PAGE =
    "<form method=\"post\" action=\"login.aspx?dlmc=demo\">"
    "<input type=\"hidden\" name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"/wEPDwUK+MTY=\" />"
    "<input type=\"hidden\" name=\"__EVENTVALIDATION\" id=\"__EVENTVALIDATION\" "
    "value=\"/wEWAgL+9x==\" /></form>";
const std::string LOGIN_VIEW_STATE =
    "__VIEWSTATE=%2FwEPDwUK%2BMTY%3D&__EVENTVALIDATION=%2FwEWAgL%2B9x%3D%3D";

std::string script_message(const std::string& utf8) {
  return gbk("<script>var ts = \"" + utf8 + "\";alert(ts);</script>");
}

const std::string CAPTCHA_WRONG_ANSWER = script_message("验证码不正确！");

std::string deleted_row(const std::string& name, const std::string& size,
                        const std::string& time) {
  return "<tr><td>1</td><td>" + name + "</td><td></td><td style='text-align:right;'>" + size +
         "</td><td style='text-align:right;'>" + time + "</td></tr>\r\n";
}

std::string notice_line(const std::string& notice) {
  return "<p style=\"font-size:10pt;\"><b>" + notice + "</b></p>";
}

const std::string RECOVER_VIEW_STATE_FIELDS =
    "<input type=\"hidden\" name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"rv/1\" />"
    "<input type=\"hidden\" name=\"__EVENTVALIDATION\" id=\"__EVENTVALIDATION\" value=\"ev+2\" />";

const std::string TAGGED_NOTICE =
    gbk("<span id=\"czts\">共有<font color=blue>2</font>个删除文件</span>");

const std::string RECOVER_PAGE =
    "<table>" + deleted_row(gbk("报告.doc"), "1.2 MB", "2026-12-10 09:30") +
    deleted_row(gbk("a b.txt"), "3 KB", "2026-12-11 10:00") + "</table>" +
    notice_line(TAGGED_NOTICE) + RECOVER_VIEW_STATE_FIELDS;

// The back end lives on the main host of the scripted service; the space login of the
// same server records the owner password that the back-end login posts.
class BackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.host != SERVICE_MAIN_HOST()) return std::nullopt;
      std::lock_guard lock(mutex);
      if (r.target == "/ht/login.aspx?dlmc=demo") {
        if (r.method == "GET") return login_page;
        if (login_answers.empty()) return script_message("登录成功");
        std::string a = login_answers.front();
        login_answers.pop_front();
        return a;
      }
      if (r.target == "/ht/qt/hywj.aspx") return r.method == "GET" ? recover_page : restore_answer;
      return "unexpected";
    });
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void log_into_space(const std::string& password = "pw") {
    test::SpaceBehaviour b;
    b.password = password;
    server.set_behaviour(b);
    ASSERT_EQ(client.login("demo", password), gbk("登录成功"));
  }

  std::vector<test::ScriptedRequest> backend_requests(const std::string& method,
                                                      const std::string& path) const {
    std::vector<test::ScriptedRequest> out;
    for (auto& r : server.requests())
      if (r.host == SERVICE_MAIN_HOST() && r.method == method && r.target.rfind(path, 0) == 0)
        out.push_back(r);
    return out;
  }

  test::ScriptedSpaceServer server;
  std::mutex mutex;
  std::string login_page = LOGIN_PAGE;
  std::deque<std::string> login_answers;
  std::string recover_page = RECOVER_PAGE;
  std::string restore_answer;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(BackendTest, LoginPostsTheViewStateAndTheOwnerCredentialsUnencoded) {
  log_into_space(gbk("密&码"));
  prompter.load_images = true;
  prompter.captcha_answers = {"k7Qz"};

  EXPECT_TRUE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 1);

  ASSERT_EQ(backend_requests("GET", "/ht/login.aspx").size(), 1u);
  auto posts = backend_requests("POST", "/ht/login.aspx");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].target, "/ht/login.aspx?dlmc=demo");
  EXPECT_EQ(posts[0].body, LOGIN_VIEW_STATE + "&dl1=demo&dl2=" + gbk("密&码") +
                               "&dl3=k7Qz&bu1=+%B5%C7+%C2%BC+");

  EXPECT_EQ(prompter.captcha_purposes(), std::vector<std::string>{gbk("后台登陆")});
  EXPECT_EQ(captcha_image_url(state),
            "http://www." + server.domain() + "/ht/sjzx/cv_vf_img.aspx?lx=htdl&sj=");
  EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(BackendTest, WrongCaptchasRepeatTheSameViewStateUntilAccepted) {
  log_into_space();
  login_answers = {CAPTCHA_WRONG_ANSWER, CAPTCHA_WRONG_ANSWER};
  prompter.captcha_answers = {"aaaa", "bbbb", "cccc"};

  EXPECT_TRUE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 1);

  auto messages = prompter.messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_EQ(m.text, gbk("验证码不正确，请重新输入。"));
    EXPECT_EQ(m.title, "");
    EXPECT_EQ(m.buttons, MessageButtons::ok);
  }
  // The login page is read once; every attempt posts its view state again.
  EXPECT_EQ(backend_requests("GET", "/ht/login.aspx").size(), 1u);
  auto posts = backend_requests("POST", "/ht/login.aspx");
  ASSERT_EQ(posts.size(), 3u);
  const char* codes[] = {"aaaa", "bbbb", "cccc"};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(posts[i].body, LOGIN_VIEW_STATE + "&dl1=demo&dl2=pw&dl3=" + codes[i] +
                                 "&bu1=+%B5%C7+%C2%BC+");
}

TEST_F(BackendTest, AnyAnswerButTheCaptchaErrorIsAnAcceptedLogin) {
  struct Case {
    const char* name;
    std::string answer;
  };
  const Case cases[] = {
      {"no script at all", "<html></html>"},
      {"empty body", ""},
      {"a refusal the client cannot tell", script_message("密码错误！")},
      {"the captcha text without its exclamation mark", script_message("验证码不正确")},
      {"an empty message", script_message("")},
  };
  log_into_space();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client.backend_logged_in = 0;
    login_answers = {c.answer};
    prompter.captcha_answers = {"abcd"};
    EXPECT_TRUE(client.backend_login());
    EXPECT_EQ(client.backend_logged_in.get(), 1);
  }
  EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(BackendTest, CancelledCaptchaLeavesTheFlag) {
  log_into_space();
  prompter.captcha_answers = {""};
  EXPECT_FALSE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 0);
  EXPECT_TRUE(backend_requests("POST", "/ht/login.aspx").empty());

  // Cancelled after a wrong captcha: one post, one message, still not logged in.
  login_answers = {CAPTCHA_WRONG_ANSWER};
  prompter.captcha_answers = {"aaaa"};
  EXPECT_FALSE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 0);
  EXPECT_EQ(backend_requests("POST", "/ht/login.aspx").size(), 1u);
  EXPECT_EQ(prompter.messages().size(), 1u);

  // A flag already set stays set.
  client.backend_logged_in = 1;
  EXPECT_FALSE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 1);
}

TEST_F(BackendTest, PageWithoutHiddenFieldsPostsThemEmpty) {
  log_into_space();
  login_page = "<form></form>";
  prompter.captcha_answers = {"abcd"};
  EXPECT_TRUE(client.backend_login());
  auto posts = backend_requests("POST", "/ht/login.aspx");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body,
            "__VIEWSTATE=&__EVENTVALIDATION=&dl1=demo&dl2=pw&dl3=abcd&bu1=+%B5%C7+%C2%BC+");
}

TEST_F(BackendTest, ListsTheDeletedFilesAndLetsEventsThroughAfterEachRow) {
  log_into_space();
  prompter.captcha_answers = {"abcd"};
  TextList names{"stale"}, sizes{"stale", "stale"}, deleted{"stale"};
  int pumped = 0;
  set_message_pump([&pumped] { ++pumped; });

  const std::string notice = client.list_deleted_files(names, sizes, deleted);
  set_message_pump({});

  EXPECT_EQ(notice, gbk("共有2个删除文件"));
  EXPECT_EQ(names, (TextList{gbk("报告.doc"), "a b.txt"}));
  EXPECT_EQ(sizes, (TextList{"1.2 MB", "3 KB"}));
  EXPECT_EQ(deleted, (TextList{"2026-12-10 09:30", "2026-12-11 10:00"}));
  EXPECT_EQ(pumped, 2);
  EXPECT_EQ(backend_requests("GET", "/ht/qt/hywj.aspx").size(), 1u);
  EXPECT_TRUE(backend_requests("POST", "/ht/qt/hywj.aspx").empty());
}

TEST_F(BackendTest, CancelledFirstLoginListsNothing) {
  log_into_space();
  prompter.captcha_answers = {""};
  TextList names{"stale"}, sizes{"stale"}, deleted{"stale"};
  EXPECT_EQ(client.list_deleted_files(names, sizes, deleted), "");
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(sizes.empty());
  EXPECT_TRUE(deleted.empty());
  EXPECT_TRUE(backend_requests("GET", "/ht/qt/hywj.aspx").empty());

  // After one accepted login a cancelled captcha still reads the page.
  prompter.captcha_answers = {"abcd"};
  EXPECT_NE(client.list_deleted_files(names, sizes, deleted), "");
  prompter.captcha_answers = {""};
  EXPECT_EQ(client.list_deleted_files(names, sizes, deleted), gbk("共有2个删除文件"));
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(backend_requests("GET", "/ht/qt/hywj.aspx").size(), 2u);
}

TEST_F(BackendTest, RestorePostsTheRecoverPagesViewStateAndKeepsTheTags) {
  restore_answer = notice_line(TAGGED_NOTICE) + "<p>done</p>";
  // The restore runs on a client that never logged in.
  SessionState other_state;
  test::ScriptedPrompter other_prompter;
  ServiceClient recovery{other_state, other_prompter};

  EXPECT_EQ(recovery.restore_deleted_files(), TAGGED_NOTICE);
  auto posts = backend_requests("POST", "/ht/qt/hywj.aspx");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body,
            "__VIEWSTATE=rv%2F1&__EVENTVALIDATION=ev%2B2"
            "&bu1=%BB%D6%B8%B4%CB%F9%D3%D05%CC%EC%C4%DA%C9%BE%B3%FD%CE%C4%BC%FE");
  EXPECT_TRUE(other_prompter.captcha_purposes().empty());
}

TEST_F(BackendTest, RestoreWithNothingDeletedPostsNothing) {
  recover_page = notice_line(gbk("您空间内没有查询到5天内删除的文件。")) + RECOVER_VIEW_STATE_FIELDS;
  EXPECT_EQ(client.restore_deleted_files(), gbk("您空间内没有查询到5天内删除的文件。"));
  EXPECT_TRUE(backend_requests("POST", "/ht/qt/hywj.aspx").empty());

  // The same notice wrapped in tags is not the exact text: the restore is posted.
  recover_page = notice_line(gbk("<span id=\"czts\">您空间内没有查询到5天内删除的文件。</span>"));
  client.restore_deleted_files();
  EXPECT_EQ(backend_requests("POST", "/ht/qt/hywj.aspx").size(), 1u);
}

// Against a raw server: answers a test cannot script with the space server (cookies of
// the back end, a post that gets no answer at all).
class BackendRawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints({"corvane.localhost", "127.0.0.1:" + std::to_string(server.port()), "s.invalid"});
    state.set_account_name("demo");
    state.set_login_password("pw");
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void answer(test::RawConnection& c) {
    const test::RawRequest& r = c.request();
    // Through a proxy the request line carries the whole address.
    if (r.target().ends_with("/ht/login.aspx?dlmc=demo")) {
      if (r.method() == "GET") {
        c.write(test::RawServer::response(LOGIN_PAGE));
      } else if (drop_login_posts) {
        c.reset();
      } else {
        c.write(test::RawServer::response(script_message("登录成功"),
                                          "Set-Cookie: htdl=owner42; path=/"));
      }
    } else {
      c.write(test::RawServer::response(r.method() == "GET" ? RECOVER_PAGE
                                                            : notice_line("restored")));
    }
  }

  bool drop_login_posts = false;
  test::RawServer server{[this](test::RawConnection& c) { answer(c); }, 0};
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(BackendRawTest, LoginPostWithoutAnyAnswerIsNotALogin) {
  drop_login_posts = true;
  prompter.captcha_answers = {"abcd", "abcd"};
  EXPECT_FALSE(client.backend_login());
  EXPECT_EQ(client.backend_logged_in.get(), 0);

  TextList names, sizes, deleted;
  EXPECT_EQ(client.list_deleted_files(names, sizes, deleted), "");
  EXPECT_TRUE(names.empty());
  for (const auto& r : server.requests()) EXPECT_NE(r.target(), "/ht/qt/hywj.aspx");
}

TEST_F(BackendRawTest, OnlyTheLoginGoesThroughTheSessionsProxy) {
  // The raw server plays the proxy as well: a proxied request names the whole address.
  state.set_proxy_address("127.0.0.1:" + std::to_string(server.port()));
  prompter.captcha_answers = {"abcd"};
  TextList names, sizes, deleted;
  client.list_deleted_files(names, sizes, deleted);
  client.restore_deleted_files();

  const std::string login = "http://127.0.0.1:" + std::to_string(server.port()) +
                            "/ht/login.aspx?dlmc=demo HTTP/1.1";
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0].request_line, "GET " + login);
  EXPECT_EQ(requests[1].request_line, "POST " + login);
  EXPECT_EQ(requests[2].request_line, "GET /ht/qt/hywj.aspx HTTP/1.1");
  EXPECT_EQ(requests[3].request_line, "GET /ht/qt/hywj.aspx HTTP/1.1");
  EXPECT_EQ(requests[4].request_line, "POST /ht/qt/hywj.aspx HTTP/1.1");
}

TEST_F(BackendRawTest, RestoreOfAnotherClientCarriesTheBackEndCookies) {
  prompter.captcha_answers = {"abcd"};
  TextList names, sizes, deleted;
  ASSERT_EQ(client.list_deleted_files(names, sizes, deleted), gbk("共有2个删除文件"));

  SessionState other_state;
  test::ScriptedPrompter other_prompter;
  ServiceClient recovery{other_state, other_prompter};
  EXPECT_EQ(recovery.restore_deleted_files(), "restored");

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);  // login page, login post, list, restore page, restore post
  for (size_t i = 2; i < requests.size(); ++i) {
    SCOPED_TRACE(requests[i].request_line);
    EXPECT_NE(requests[i].header("Cookie").find("htdl=owner42"), std::string::npos);
  }
}

TEST(BackendParsers, DeletedFileRows) {
  const std::string cell = "<td style='text-align:right;'>";
  struct Case {
    const char* name;
    std::string page;
    TextList names, sizes, times;
  };
  const Case cases[] = {
      {"no rows", "<table></table>", {}, {}, {}},
      {"empty cells", deleted_row("", "", ""), {""}, {""}, {""}},
      {"tags in another letter case",
       "<TD>1</TD><TD>x.zip</TD><TD></TD><TD STYLE='text-align:right;'>9 B</TD>"
       "<td style='TEXT-ALIGN:RIGHT;'>t</td></TR>",
       {"x.zip"}, {"9 B"}, {"t"}},
      {"a row broken across lines is no row",
       "</td><td>a\r\nb</td><td></td>" + cell + "1</td>" + cell + "2</td></tr>", {}, {}, {}},
      {"the nearest cells win (lazy groups)",
       deleted_row("a", "1", "t1") + deleted_row("b", "2", "t2"), {"a", "b"}, {"1", "2"},
       {"t1", "t2"}},
      {"GBK names whose trail bytes look like ASCII",
       deleted_row(gbk("億表.txt"), "1 KB", gbk("昨天")), {gbk("億表.txt")}, {"1 KB"},
       {gbk("昨天")}},
      {"a row cut short", "</td><td>a</td><td></td>" + cell + "1</td>" + cell + "2</td>", {}, {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextList names{"kept"}, sizes{"kept"}, times{"kept"};
    int rows = parse_deleted_files(c.page, names, sizes, times);
    EXPECT_EQ(rows, static_cast<int>(c.names.size()));
    // The parser appends: clearing is the operation's business.
    TextList want_names{"kept"}, want_sizes{"kept"}, want_times{"kept"};
    want_names.insert(want_names.end(), c.names.begin(), c.names.end());
    want_sizes.insert(want_sizes.end(), c.sizes.begin(), c.sizes.end());
    want_times.insert(want_times.end(), c.times.begin(), c.times.end());
    EXPECT_EQ(names, want_names);
    EXPECT_EQ(sizes, want_sizes);
    EXPECT_EQ(times, want_times);
  }
}

TEST(BackendParsers, NoticeAndMessage) {
  struct Case {
    const char* name;
    std::string page, notice, stripped;
  };
  const Case cases[] = {
      {"tags removed", notice_line(TAGGED_NOTICE), TAGGED_NOTICE, gbk("共有2个删除文件")},
      {"every occurrence removed", notice_line("<font color=blue>a</font><font color=blue>b</font>"),
       "<font color=blue>a</font><font color=blue>b</font>", "ab"},
      // The span opener goes last, so one that only appears once "</font>" is gone is
      // removed as well.
      {"removal order", notice_line("<span id=\"cz</font>ts\">x"), "<span id=\"cz</font>ts\">x",
       "x"},
      {"other tags stay, case matters", notice_line("<FONT COLOR=BLUE>a</FONT><i>b</i>"),
       "<FONT COLOR=BLUE>a</FONT><i>b</i>", "<FONT COLOR=BLUE>a</FONT><i>b</i>"},
      {"no notice line", "<p><b>x</b></p>", "", ""},
      {"notice not closed", "<p style=\"font-size:10pt;\"><b>x", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(deleted_files_notice(c.page), c.notice);
    EXPECT_EQ(strip_notice_tags(deleted_files_notice(c.page)), c.stripped);
  }

  EXPECT_EQ(backend_login_message(CAPTCHA_WRONG_ANSWER), BACKEND_CAPTCHA_WRONG);
  EXPECT_EQ(backend_login_message("var ts = \"a\"; var ts = \"b\";"), "a");
  EXPECT_EQ(backend_login_message("var ts = \"unterminated"), "");
}

}  // namespace
}  // namespace corvane
