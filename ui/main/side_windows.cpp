// The windows the main window keeps beside it: the update-notice window and the
// registration window opened from the login dialog.
#include "ui/dialogs/login_window.h"
#include "ui/main/main_window.h"

namespace corvane {

void MainWindow::create_update_log_window() {}

void MainWindow::destroy_update_log_window() {
  if (update_log_window_) delete update_log_window_.data();
}

void MainWindow::open_register_window(LoginWindow&) {}

}  // namespace corvane
