// The three small dialogs as they open: captions, controls by name, texts, modes.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "tests/ui/ui_fixture.h"
#include "ui/click_label.h"
#include "ui/dialogs/access_password_window.h"
#include "ui/dialogs/captcha_window.h"
#include "ui/dialogs/login_window.h"

namespace corvane::test {
namespace {

struct Text {
  const char* name;
  const char* text;
};

// Each named control shows its text (labels, buttons, check boxes).
void expect_texts(QWidget* window, std::initializer_list<Text> texts) {
  for (const Text& t : texts) {
    QWidget* w = window->findChild<QWidget*>(QString::fromUtf8(t.name));
    ASSERT_NE(w, nullptr) << t.name;
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(w)) shown = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) shown = button->text();
    EXPECT_EQ(shown, qt(t.text)) << t.name;
  }
}

TEST(DialogsTest, LoginWindow) {
  QLineEdit account, password;
  LoginWindow w(account, password);
  EXPECT_EQ(w.windowTitle(), qt("云存储登录界面"));
  expect_texts(&w, {{"标签1", "云用户："}, {"标签2", "云密码："}, {"标签3", "注册云账号"},
                    {"标签4", "找回密码"}, {"选择框1", "下次是否自动登录"}, {"按钮_登录", "登 录"}});
  for (const char* name : {"分组框1", "编辑框1", "编辑框2", "状态条1"})
    EXPECT_NE(w.findChild<QWidget*>(QString::fromUtf8(name)), nullptr) << name;
  EXPECT_EQ(w.编辑框2->echoMode(), QLineEdit::Password);
  EXPECT_EQ(w.编辑框1->echoMode(), QLineEdit::Normal);
  EXPECT_FALSE(w.选择框1->isChecked());
  EXPECT_EQ(w.编辑框1->parentWidget(), w.分组框1);  // the group box holds the inputs

  // Pressing the registration label asks for the registration window; 标签4 does nothing.
  QSignalSpy register_requests(&w, &LoginWindow::register_requested);
  QTest::mousePress(w.标签3, Qt::LeftButton);
  QTest::mousePress(w.标签4, Qt::LeftButton);
  EXPECT_EQ(register_requests.count(), 1);
  QTest::mousePress(w.标签3, Qt::RightButton);
  EXPECT_EQ(register_requests.count(), 1);
}

TEST(DialogsTest, CaptchaWindowWithoutAKnownPurposeShowsNoPicture) {
  SessionState state;  // no captcha purpose: nothing is requested
  state.set_captcha_answer("keep");
  CaptchaWindow w(state);
  EXPECT_EQ(w.windowTitle(), qt(" 请输入验证码"));
  expect_texts(&w, {{"按钮1", "确定"}, {"按钮2", "取消"}});
  EXPECT_EQ(w.图片框1->size(), QSize(120, 45));
  EXPECT_TRUE(w.image_bytes().empty());
  // Only exactly four bytes are accepted; a double-byte character counts twice.
  struct Case {
    const char* typed;
    bool accepted;
  } cases[] = {{"abc", false}, {"abcde", false}, {"", false}, {"验证", true}, {"ab1Z", true}};
  for (const Case& c : cases) {
    w.编辑框1->setText(qt(c.typed));
    w.按钮1->click();
    EXPECT_EQ(w.result() == QDialog::Accepted, c.accepted) << c.typed;
    EXPECT_EQ(state.captcha_answer(), c.accepted ? gbk(c.typed) : "keep") << c.typed;
    w.setResult(QDialog::Rejected);
    state.set_captcha_answer("keep");
  }
  w.按钮2->click();
  EXPECT_EQ(state.captcha_answer(), "");
}

TEST(DialogsTest, AccessPasswordWindow) {
  SessionState state;
  AccessPasswordWindow w(state);
  EXPECT_EQ(w.windowTitle(), qt(" 请输入访问密码"));
  expect_texts(&w, {{"按钮1", "确定"}, {"按钮2", "取消"}});
  EXPECT_NE(w.findChild<QGroupBox*>(QString::fromUtf8("分组框1")), nullptr);
  EXPECT_EQ(w.编辑框1->echoMode(), QLineEdit::Normal);
}

}  // namespace
}  // namespace corvane::test
