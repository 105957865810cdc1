#pragma once
// The access-password dialog of a protected directory. Writes access_password: the
// typed text (possibly empty), or "" for cancel.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace corvane {

class SessionState;

class AccessPasswordWindow : public QDialog {
  Q_OBJECT

 public:
  explicit AccessPasswordWindow(SessionState& state, QWidget* parent = nullptr);

  QGroupBox* 分组框1;
  QLineEdit* 编辑框1;
  QPushButton* 按钮1;
  QPushButton* 按钮2;

 public slots:
  void on_ok();
  void on_cancel();

 private:
  SessionState& state_;
};

}  // namespace corvane
