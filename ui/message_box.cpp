#include "ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>

#include "service/prompter.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"

namespace corvane {

namespace {

int run_box(QWidget* parent, const std::string& text, const std::string& title, bool question) {
  QMessageBox box(question ? QMessageBox::Question : QMessageBox::Information,
                  to_qt(title.empty() ? std::string(DEFAULT_MESSAGE_TITLE) : title), to_qt(text),
                  QMessageBox::NoButton, parent);
  box.setWindowModality(Qt::ApplicationModal);
  if (question) {
    box.addButton(QMessageBox::Yes)->setText(to_qt(ui_text::MESSAGE_YES));
    box.addButton(QMessageBox::No)->setText(to_qt(ui_text::MESSAGE_NO));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.addButton(QMessageBox::Ok)->setText(to_qt(ui_text::OK));
  }
  return box.exec();
}

}  // namespace

bool ask_yes_no(QWidget* parent, const std::string& text, const std::string& title) {
  return run_box(parent, text, title, true) == QMessageBox::Yes;
}

void show_message_box(QWidget* parent, const std::string& text, const std::string& title) {
  run_box(parent, text, title, false);
}

}  // namespace corvane
