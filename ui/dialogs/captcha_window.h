#pragma once
// The captcha dialog: the picture for the state's captcha purpose and a box for its four
// characters. Writes captcha_answer: the typed text, or "" for cancel.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace corvane {

class ClickLabel;
class SessionState;

class CaptchaWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CaptchaWindow(SessionState& state, QWidget* parent = nullptr);

  ClickLabel* 图片框1;
  QLineEdit* 编辑框1;
  QPushButton* 按钮1;
  QPushButton* 按钮2;

  // Fetches a new picture (without freezing the windows) and shows it.
  void load_captcha_image();
  // The bytes of the picture shown, "" when none.
  const std::string& image_bytes() const { return image_; }

 public slots:
  void on_ok();
  void on_cancel();

 private:
  SessionState& state_;
  std::string image_;
};

}  // namespace corvane
