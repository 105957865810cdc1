#include "ui/dialogs/captcha_window.h"

#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "service/captcha.h"
#include "ui/click_label.h"
#include "ui/dispatcher.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"
#include "ui/window_geometry.h"

namespace corvane {

CaptchaWindow::CaptchaWindow(SessionState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("CaptchaWindow"));
  setWindowTitle(to_qt(ui_text::CAPTCHA_CAPTION));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setFixedSize(client_size(136, 129));
  move(50, 50);

  图片框1 = new ClickLabel(this);
  图片框1->setObjectName(QStringLiteral("图片框1"));
  图片框1->setGeometry(5, 5, 120, 45);
  图片框1->setScaledContents(true);
  图片框1->setFrameShape(QFrame::StyledPanel);
  图片框1->setCursor(Qt::PointingHandCursor);
  编辑框1 = new QLineEdit(this);
  编辑框1->setObjectName(QStringLiteral("编辑框1"));
  编辑框1->setGeometry(5, 53, 120, 20);
  按钮1 = new QPushButton(to_qt(ui_text::OK), this);
  按钮1->setObjectName(QStringLiteral("按钮1"));
  按钮1->setGeometry(3, 76, 61, 25);
  按钮2 = new QPushButton(to_qt(ui_text::CANCEL), this);
  按钮2->setObjectName(QStringLiteral("按钮2"));
  按钮2->setGeometry(66, 76, 61, 25);
  for (QPushButton* b : {按钮1, 按钮2}) b->setAutoDefault(false);

  connect(图片框1, &ClickLabel::pressed, this, &CaptchaWindow::load_captcha_image);
  connect(按钮1, &QPushButton::clicked, this, &CaptchaWindow::on_ok);
  connect(按钮2, &QPushButton::clicked, this, &CaptchaWindow::on_cancel);

  load_captcha_image();
  编辑框1->setFocus();
}

void CaptchaWindow::load_captcha_image() {
  std::string bytes;
  run_keeping_ui_alive([&] { bytes = corvane::load_captcha_image(state_); });
  image_ = std::move(bytes);
  QPixmap picture;
  if (!image_.empty())
    picture.loadFromData(reinterpret_cast<const uchar*>(image_.data()), static_cast<uint>(image_.size()));
  图片框1->setPixmap(picture);
}

void CaptchaWindow::on_ok() {
  const std::string code = from_qt(编辑框1->text());
  if (code.size() != 4) return;
  state_.set_captcha_answer(code);
  accept();
}

void CaptchaWindow::on_cancel() {
  state_.set_captcha_answer("");
  reject();
}

}  // namespace corvane
