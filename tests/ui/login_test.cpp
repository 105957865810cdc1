// The session through the real main window against the local service: automatic login
// from the settings file, the login dialog, the captcha after a wrong password, logout
// and the exit question.
#include <QCheckBox>
#include <QPushButton>

#include "tests/localservice/service_fixture.h"
#include "tests/ui/ui_fixture.h"
#include "ui/click_label.h"
#include "ui/dialogs/captcha_window.h"
#include "ui/dialogs/login_window.h"
#include "ui/status_bar.h"

namespace corvane::test {
namespace {

// Fills the login dialog and presses its button.
std::function<void(QWidget*)> log_in_with(std::string account, std::string password, bool remember) {
  return [=](QWidget* w) {
    auto* dialog = qobject_cast<LoginWindow*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    dialog->编辑框1->setText(qt(account));
    dialog->编辑框2->setText(qt(password));
    dialog->选择框1->setChecked(remember);
    dialog->按钮_登录->click();
  };
}

std::function<void(QWidget*)> close_login_dialog(std::function<void()> check = {}) {
  return [check](QWidget* w) {
    ASSERT_NE(qobject_cast<LoginWindow*>(w), nullptr) << w->metaObject()->className();
    if (check) check();
    w->close();
  };
}

class LoginTest : public GuiTest {};

TEST_F(LoginTest, NoUsableSavedLoginStartsNothing) {
  struct Case {
    const char* name;
    bool write;
    const char *user, *pass;
  } cases[] = {{"no settings file", false, "", ""},
               {"user without password", true, "demo", ""},
               {"password without user", true, "", "demo"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.write) save_login(c.user, c.pass);
    MainWindow& w = open_window();
    EXPECT_EQ(w.running_workers(), 0);
    EXPECT_TRUE(w.图形按钮_登录->isEnabled());
    EXPECT_TRUE(w.图形按钮_退出->isEnabled());
    EXPECT_FALSE(w.透明标签_加载提示->isVisible());
    EXPECT_FALSE(w.session_open());
    EXPECT_EQ(status(1), "");
    window_.reset();
  }
}

TEST_F(LoginTest, SavedLoginLogsInAtStartAndOpensTheOwnerSession) {
  save_login("demo", "demo");
  MainWindow& w = open_window();
  EXPECT_FALSE(w.图形按钮_登录->isEnabled());  // logging in
  EXPECT_TRUE(w.透明标签_加载提示->isVisible());
  ASSERT_TRUE(wait_for_session());

  EXPECT_EQ(status(3), "管理员身份");
  EXPECT_EQ(w.透明标签_用户显示->text(), qt("demo"));
  EXPECT_FALSE(w.透明标签_加载提示->isVisible());
  for (QWidget* c : std::initializer_list<QWidget*>{
           w.超级列表框, w.图形按钮_登录, w.图形按钮_下载, w.图形按钮_刷新, w.图形按钮_任务列表,
           w.图形按钮_在线列表, w.图形按钮_上传, w.图形按钮_删除, w.图形按钮_新建目录,
           w.图形按钮_下载记录, w.图形按钮_恢复删除文件})
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  const ListModel& list = w.超级列表框->list();
  ASSERT_GT(list.row_count(), 0);
  EXPECT_EQ(utf8(list.column_title(0)), "文件名称   (共" + std::to_string(list.row_count()) + "个目录)");
  for (int r = 0; r < list.row_count(); ++r) {
    EXPECT_EQ(list.cell(r, 1), "-");
    EXPECT_FALSE(list.cell(r, 3).empty());
    EXPECT_EQ(list.icon(r), 10);
  }
  EXPECT_EQ(saved(SETTING_USER), "demo");  // a successful login keeps the saved values
  EXPECT_EQ(saved(SETTING_PASS), "demo");
}

TEST_F(LoginTest, FailedSavedLoginIsReportedAndForgotten) {
  save_login("demo", "wrong");
  MainWindow& w = open_window();
  ASSERT_TRUE(wait_for_login_end());
  EXPECT_EQ(status(1), "密码输入不正确");
  EXPECT_FALSE(w.透明标签_加载提示->isVisible());
  EXPECT_FALSE(w.session_open());
  EXPECT_FALSE(w.图形按钮_上传->isEnabled());
  EXPECT_EQ(saved(SETTING_USER), "");
  EXPECT_EQ(saved(SETTING_PASS), "");
  // The hidden boxes keep the values for the next attempt.
  EXPECT_EQ(w.编辑框_隐藏账号->text(), qt("demo"));
  EXPECT_EQ(w.编辑框_隐藏密码->text(), qt("wrong"));
}

TEST_F(LoginTest, UnknownAccountFails) {
  save_login("nobody", "x");
  open_window();
  ASSERT_TRUE(wait_for_login_end());
  EXPECT_EQ(status(1), "账号不存在");
  EXPECT_EQ(saved(SETTING_USER), "");
}

TEST_F(LoginTest, LoginDialogWritesOrEmptiesTheSettingsFile) {
  for (bool remember : {true, false}) {
    SCOPED_TRACE(remember ? "remembered" : "not remembered");
    save_login("someone", "");  // held before; no automatic login with it
    MainWindow& w = open_window();
    ModalScript script;
    script.then(log_in_with("demo", "demo", remember));
    w.图形按钮_登录->click();
    EXPECT_TRUE(script.done());
    ASSERT_TRUE(wait_for_session());
    EXPECT_EQ(saved(SETTING_USER), remember ? "demo" : "");
    EXPECT_EQ(saved(SETTING_PASS), remember ? "demo" : "");
    EXPECT_TRUE(script.unexpected().empty());
    ASSERT_TRUE(wait_until([&] { return w.running_workers() == 0; }));
    window_.reset();
    clear_cookie_store();
  }
}

TEST_F(LoginTest, LoginDialogRefusesEmptyFieldsAndItsCloseBoxCancels) {
  save_login("someone", "");
  MainWindow& w = open_window();
  ModalScript script;
  script.then([](QWidget* d) {
    auto* dialog = qobject_cast<LoginWindow*>(d);
    ASSERT_NE(dialog, nullptr);
    dialog->编辑框1->setText(qt("demo"));
    dialog->按钮_登录->click();  // no password
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(utf8(dialog->状态条1->part(0)), "云用户和密码不能为空");
    dialog->close();
  });
  w.图形按钮_登录->click();
  EXPECT_TRUE(script.done());
  EXPECT_EQ(status(1), "登录取消了");
  EXPECT_EQ(w.running_workers(), 0);
  EXPECT_TRUE(w.图形按钮_登录->isEnabled());
  EXPECT_EQ(saved(SETTING_USER), "someone");  // the closed dialog wrote nothing
  EXPECT_TRUE(w.编辑框_隐藏账号->text().isEmpty());
}

TEST_F(LoginTest, EnterReleasedInThePasswordBoxLogsIn) {
  MainWindow& w = open_window();
  ModalScript script;
  script.then([](QWidget* d) {
    auto* dialog = qobject_cast<LoginWindow*>(d);
    ASSERT_NE(dialog, nullptr);
    dialog->编辑框1->setText(qt("demo"));
    dialog->编辑框2->setText(qt("demo"));
    QTest::keyRelease(dialog->编辑框2, Qt::Key_Return);
  });
  w.图形按钮_登录->click();
  ASSERT_TRUE(script.done());
  ASSERT_TRUE(wait_for_session());
}

TEST_F(LoginTest, ClosedDialogAfterAFailedLoginRetriesWithThePreviousValues) {
  save_login("demo", "wrong");
  MainWindow& w = open_window();
  ASSERT_TRUE(wait_for_login_end());
  ModalScript script;
  script.then(close_login_dialog());
  // The service asks for a captcha after the wrong password; cancel it.
  script.then([](QWidget* d) {
    auto* captcha = qobject_cast<CaptchaWindow*>(d);
    ASSERT_NE(captcha, nullptr) << d->metaObject()->className();
    captcha->按钮2->click();
  });
  w.图形按钮_登录->click();
  ASSERT_TRUE(wait_for_login_end());
  EXPECT_TRUE(script.done());
  EXPECT_EQ(status(1), "放弃登录");
  EXPECT_TRUE(script.unexpected().empty());
}

TEST_F(LoginTest, CaptchaAfterAWrongPasswordIsAnsweredFromItsPicture) {
  save_login("demo", "wrong");
  MainWindow& w = open_window();
  ASSERT_TRUE(wait_for_login_end());
  ASSERT_EQ(status(1), "密码输入不正确");

  ModalScript script;
  script.then(log_in_with("demo", "demo", false));
  script.then([this](QWidget* d) {
    auto* captcha = qobject_cast<CaptchaWindow*>(d);
    ASSERT_NE(captcha, nullptr) << d->metaObject()->className();
    EXPECT_EQ(captcha->windowTitle(), qt(" 请输入验证码"));
    const std::string code = read_captcha(captcha->image_bytes());
    ASSERT_EQ(code.size(), 4u);
    // Three characters are not accepted.
    captcha->编辑框1->setText(qt(code.substr(0, 3)));
    captcha->按钮1->click();
    EXPECT_TRUE(captcha->isVisible());
    EXPECT_EQ(objects_->state.captcha_answer(), "");
    // A click on the picture fetches a new captcha; its code is the one that counts.
    QTest::mouseClick(captcha->图片框1, Qt::LeftButton);
    const std::string fresh = read_captcha(captcha->image_bytes());
    ASSERT_EQ(fresh.size(), 4u);
    captcha->编辑框1->setText(qt(fresh));
    captcha->按钮1->click();
  });
  w.图形按钮_登录->click();
  ASSERT_TRUE(wait_for_session());
  EXPECT_TRUE(script.done());
  EXPECT_EQ(objects_->state.captcha_purpose(), gbk("管理登录"));
  EXPECT_TRUE(script.unexpected().empty());
}

class SessionTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    save_login("demo", "demo");
    open_window();
    ASSERT_TRUE(wait_for_session());
  }
};

TEST_F(SessionTest, LogoutAnsweredNoChangesNothing) {
  MainWindow& w = window();
  const int rows = w.超级列表框->list().row_count();
  ModalScript script;
  script.then(answer_question("您确定要注销'demo'用户吗?", false));
  w.图形按钮_登录->click();
  EXPECT_TRUE(script.done());
  EXPECT_TRUE(script.unexpected().empty()) << "no login dialog after No";
  EXPECT_TRUE(w.session_open());
  EXPECT_EQ(w.超级列表框->list().row_count(), rows);
  EXPECT_EQ(objects_->state.account_name(), "demo");
  EXPECT_EQ(saved(SETTING_USER), "demo");
}

TEST_F(SessionTest, LogoutAnsweredYesEndsTheSessionAndOpensTheLoginDialog) {
  MainWindow& w = window();
  const int generation = w.session_generation();
  std::string title;
  ModalScript script;
  script.then(answer_question("您确定要注销'demo'用户吗?", true, &title));
  script.then(close_login_dialog([&] {
    // The session is gone before the dialog shows.
    EXPECT_EQ(w.超级列表框->list().row_count(), 0);
    EXPECT_FALSE(w.超级列表框->isEnabled());
    EXPECT_EQ(status(1), "云用户注销成功");
    EXPECT_EQ(status(3), "管理员身份");  // the identity part keeps its last text
    EXPECT_EQ(status(4), "空间:---M 剩余:---M 在线:-人");
    EXPECT_EQ(utf8(w.超级列表框->list().column_title(0)), "文件名称");
    EXPECT_FALSE(w.session_open());
    EXPECT_EQ(w.图形按钮_登录->look(), login_look());
    EXPECT_TRUE(w.透明标签_用户显示->text().isEmpty());
    for (QWidget* c : std::initializer_list<QWidget*>{w.图形按钮_上传, w.图形按钮_下载, w.图形按钮_刷新,
                                                      w.图形按钮_删除, w.图形按钮_新建目录,
                                                      w.图形按钮_下载记录, w.图形按钮_在线列表,
                                                      w.图形按钮_恢复删除文件})
      EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  }));
  w.图形按钮_登录->click();
  EXPECT_TRUE(script.done());
  EXPECT_EQ(title, "信息：");
  EXPECT_EQ(status(1), "登录取消了");
  EXPECT_EQ(saved(SETTING_USER), "");
  EXPECT_EQ(saved(SETTING_PASS), "");
  const SessionState& s = objects_->state;
  EXPECT_EQ(s.account_name(), "");
  EXPECT_EQ(s.content_base_url(), "");
  EXPECT_EQ(s.proxy_address(), "");
  EXPECT_EQ(s.login_password(), "demo");  // survives a logout
  EXPECT_EQ(s.session_active(), 1);
  EXPECT_NE(w.session_generation(), generation);
  EXPECT_TRUE(w.编辑框_隐藏账号->text().isEmpty());
}

TEST_F(SessionTest, LogoutThenLoginOpensANewSession) {
  MainWindow& w = window();
  ModalScript script;
  script.then(answer_question("您确定要注销'demo'用户吗?", true));
  script.then(log_in_with("demo", "demo", false));
  w.图形按钮_登录->click();
  ASSERT_TRUE(wait_until([&] { return w.session_open(); }));
  EXPECT_EQ(w.透明标签_用户显示->text(), qt("demo"));
  EXPECT_GT(w.超级列表框->list().row_count(), 0);
}

class ExitTest : public GuiTest {};

TEST_F(ExitTest, ExitButtonAndCloseBoxAskFirst) {
  struct Case {
    const char* name;
    bool close_box;
    bool yes;
  } cases[] = {{"exit button, No", false, false},
               {"exit button, Yes", false, true},
               {"close box, No", true, false},
               {"close box, Yes", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MainWindow& w = open_window();
    int closed = 0;
    QObject::connect(&w, &MainWindow::window_closed, [&] { ++closed; });
    ModalScript script;
    script.then(answer_question("是否确定要退出?", c.yes));
    if (c.close_box)
      w.close();
    else
      w.图形按钮_退出->click();
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(script.unexpected().empty()) << "asked once";
    EXPECT_EQ(w.isVisible(), !c.yes);
    EXPECT_EQ(closed, c.yes ? 1 : 0);
    window_.reset();
  }
}

}  // namespace
}  // namespace corvane::test
