// The session: the login flow on its worker thread, the login/logout button, logout.
#include <QLineEdit>
#include <QTabWidget>

#include "app/settings.h"
#include "service/service_client.h"
#include "ui/dialogs/login_window.h"
#include "ui/main/main_window.h"
#include "ui/message_box.h"
#include "ui/process_objects.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"

namespace corvane {

void MainWindow::start_login_flow() {
  // The flow reads the boxes as they are now; the login button stays disabled until it
  // ends, so nothing changes them meanwhile.
  const std::string account = from_qt(编辑框_隐藏账号->text());
  const std::string password = from_qt(编辑框_隐藏密码->text());
  if (!start_worker([this, account, password] { login_flow(account, password); })) {
    // Without a thread there is no flow to end the logging-in state.
    图形按钮_登录->setEnabled(true);
    透明标签_加载提示->hide();
  }
}

void MainWindow::login_flow(const std::string& account, const std::string& password) {
  set_status(STATUS_MESSAGE_PART, ui_text::LOGGING_IN);
  const std::string result = objects_.service_client.login(account, password);
  if (result == login_result::OK || result == login_result::VISITOR) {
    set_status(STATUS_IDENTITY_PART,
               result == login_result::OK ? ui_text::IDENTITY_OWNER : ui_text::IDENTITY_VISITOR);
    load_directory_list();
    return;
  }
  set_status(STATUS_MESSAGE_PART, result);
  // A failed login is never retried with the same saved values.
  clear_saved_login();
  set_control_enabled(图形按钮_登录, true);
  set_control_visible(透明标签_加载提示, false);
}

void MainWindow::on_login_clicked() {
  if (session_open()) {
    const std::string question = std::string(ui_text::LOGOUT_QUESTION_HEAD) +
                                 objects_.state.account_name() + ui_text::LOGOUT_QUESTION_TAIL;
    if (!ask_yes_no(this, question)) return;
    logout();
  }

  LoginWindow dialog(*编辑框_隐藏账号, *编辑框_隐藏密码, this);
  connect(&dialog, &LoginWindow::register_requested, this, [this, &dialog] { open_register_window(dialog); });
  dialog.exec();

  if (编辑框_隐藏账号->text().isEmpty() || 编辑框_隐藏密码->text().isEmpty()) {
    状态条->set_part(STATUS_MESSAGE_PART, ui_text::LOGIN_CANCELLED);
    return;
  }
  图形按钮_登录->setEnabled(false);
  透明标签_加载提示->show();
  start_login_flow();
}

void MainWindow::logout() {
  超级列表框->list().clear();
  超级列表框->setEnabled(false);
  objects_.state.clear_for_logout();
  编辑框_隐藏账号->clear();
  编辑框_隐藏密码->clear();
  透明标签_用户显示->clear();
  clear_saved_login();

  状态条->set_part(STATUS_MESSAGE_PART, ui_text::LOGOUT_DONE);
  状态条->set_part(STATUS_SPACE_PART, ui_text::STATUS_SPACE_PLACEHOLDER);
  超级列表框->list().set_column_title(0, ui_text::COLUMN_FILE_NAME);
  图形按钮_登录->set_look(login_look());

  // The poller of the ended session sees the new generation (or session_active = 2)
  // and stops, although session_active is 1 again before it looks.
  ++session_generation_;
  objects_.state.set_session_active(2);
  destroy_update_log_window();

  disable_session_commands();

  create_update_log_window();
  objects_.state.set_session_active(1);
}

}  // namespace corvane
