#pragma once
// The login dialog: account, password and whether to remember them. Its result goes to
// the main window's hidden account and password boxes, and to the settings file.
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class ClickLabel;
class PartStatusBar;

class LoginWindow : public QDialog {
  Q_OBJECT

 public:
  // account_target and password_target receive the typed texts when the dialog closes
  // through its login button; they are left alone otherwise.
  LoginWindow(QLineEdit& account_target, QLineEdit& password_target, QWidget* parent = nullptr);

  QGroupBox* 分组框1;
  QLabel* 标签1;
  QLineEdit* 编辑框1;
  QLabel* 标签2;
  QLineEdit* 编辑框2;
  ClickLabel* 标签3;
  QLabel* 标签4;
  QCheckBox* 选择框1;
  QPushButton* 按钮_登录;
  PartStatusBar* 状态条1;

 signals:
  // 标签3 ("注册云账号") pressed: the registration window opens beside this dialog and
  // fills 编辑框1 and 编辑框2 after a registration.
  void register_requested();

 public slots:
  void on_login();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit& account_target_;
  QLineEdit& password_target_;
};

}  // namespace corvane
