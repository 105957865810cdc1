#include "ui/dialogs/access_password_window.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/session_state.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"
#include "ui/window_geometry.h"

namespace corvane {

AccessPasswordWindow::AccessPasswordWindow(SessionState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("AccessPasswordWindow"));
  setWindowTitle(to_qt(ui_text::ACCESS_PASSWORD_CAPTION));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setFixedSize(client_size(181, 101));
  move(50, 50);

  分组框1 = new QGroupBox(this);
  分组框1->setObjectName(QStringLiteral("分组框1"));
  分组框1->setGeometry(3, -1, 168, 73);
  编辑框1 = new QLineEdit(分组框1);
  编辑框1->setObjectName(QStringLiteral("编辑框1"));
  编辑框1->setGeometry(8, 15, 150, 20);
  按钮1 = new QPushButton(to_qt(ui_text::OK), 分组框1);
  按钮1->setObjectName(QStringLiteral("按钮1"));
  按钮1->setGeometry(12, 41, 64, 24);
  按钮2 = new QPushButton(to_qt(ui_text::CANCEL), 分组框1);
  按钮2->setObjectName(QStringLiteral("按钮2"));
  按钮2->setGeometry(89, 40, 64, 24);
  for (QPushButton* b : {按钮1, 按钮2}) b->setAutoDefault(false);

  connect(编辑框1, &QLineEdit::returnPressed, this, &AccessPasswordWindow::on_ok);
  connect(按钮1, &QPushButton::clicked, this, &AccessPasswordWindow::on_ok);
  connect(按钮2, &QPushButton::clicked, this, &AccessPasswordWindow::on_cancel);
  编辑框1->setFocus();
}

void AccessPasswordWindow::on_ok() {
  state_.set_access_password(from_qt(编辑框1->text()));
  accept();
}

void AccessPasswordWindow::on_cancel() {
  state_.set_access_password("");
  reject();
}

}  // namespace corvane
