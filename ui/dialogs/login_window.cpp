#include "ui/dialogs/login_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/settings.h"
#include "ui/click_label.h"
#include "ui/qt_text.h"
#include "ui/status_bar.h"
#include "ui/ui_texts.h"
#include "ui/window_geometry.h"

namespace corvane {

LoginWindow::LoginWindow(QLineEdit& account_target, QLineEdit& password_target, QWidget* parent)
    : QDialog(parent), account_target_(account_target), password_target_(password_target) {
  setObjectName(QStringLiteral("LoginWindow"));
  setWindowTitle(to_qt(ui_text::LOGIN_CAPTION));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  const QSize size = client_size(334, 163);
  setFixedSize(size);
  move(50, 50);

  分组框1 = new QGroupBox(this);
  分组框1->setObjectName(QStringLiteral("分组框1"));
  分组框1->setGeometry(4, -1, 320, 81);
  标签1 = new QLabel(to_qt(ui_text::LOGIN_ACCOUNT_LABEL), 分组框1);
  标签1->setObjectName(QStringLiteral("标签1"));
  标签1->setGeometry(18, 15, 48, 24);
  编辑框1 = new QLineEdit(分组框1);
  编辑框1->setObjectName(QStringLiteral("编辑框1"));
  编辑框1->setGeometry(66, 17, 168, 20);
  标签2 = new QLabel(to_qt(ui_text::LOGIN_PASSWORD_LABEL), 分组框1);
  标签2->setObjectName(QStringLiteral("标签2"));
  标签2->setGeometry(18, 45, 48, 24);
  编辑框2 = new QLineEdit(分组框1);
  编辑框2->setObjectName(QStringLiteral("编辑框2"));
  编辑框2->setGeometry(66, 47, 168, 20);
  编辑框2->setEchoMode(QLineEdit::Password);
  编辑框2->installEventFilter(this);
  标签3 = new ClickLabel(to_qt(ui_text::LOGIN_REGISTER), 分组框1);
  标签3->setObjectName(QStringLiteral("标签3"));
  标签3->setGeometry(243, 20, 60, 16);
  标签3->setCursor(Qt::PointingHandCursor);
  标签3->setStyleSheet(QStringLiteral("color: #1a5fb4;"));
  标签4 = new QLabel(to_qt(ui_text::LOGIN_RECOVER_PASSWORD), 分组框1);
  标签4->setObjectName(QStringLiteral("标签4"));
  标签4->setGeometry(249, 48, 60, 16);
  标签4->setStyleSheet(QStringLiteral("color: #1a5fb4;"));

  选择框1 = new QCheckBox(to_qt(ui_text::LOGIN_REMEMBER), this);
  选择框1->setObjectName(QStringLiteral("选择框1"));
  选择框1->setGeometry(6, 96, 120, 17);
  按钮_登录 = new QPushButton(to_qt(ui_text::LOGIN_BUTTON), this);
  按钮_登录->setObjectName(QStringLiteral("按钮_登录"));
  按钮_登录->setGeometry(204, 83, 119, 30);
  按钮_登录->setAutoDefault(false);
  状态条1 = new PartStatusBar({size.width()}, this);
  状态条1->setObjectName(QStringLiteral("状态条1"));
  状态条1->setGeometry(0, size.height() - 20, size.width(), 20);

  connect(按钮_登录, &QPushButton::clicked, this, &LoginWindow::on_login);
  connect(标签3, &ClickLabel::pressed, this, &LoginWindow::register_requested);
  编辑框1->setFocus();
}

void LoginWindow::on_login() {
  const QString account = 编辑框1->text(), password = 编辑框2->text();
  if (account.isEmpty() || password.isEmpty()) {
    状态条1->set_part(0, ui_text::LOGIN_FIELDS_EMPTY);
    return;
  }
  const bool remember = 选择框1->isChecked();
  write_setting(SETTING_USER, remember ? from_qt(account) : std::string());
  write_setting(SETTING_PASS, remember ? from_qt(password) : std::string());
  account_target_.setText(account);
  password_target_.setText(password);
  accept();
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter released in the password box logs in, as the login button does.
  if (watched == 编辑框2 && event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      on_login();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace corvane
