// The toolbar's and the context menu's commands other than login and exit.
#include "ui/main/main_window.h"

namespace corvane {

void MainWindow::on_upload_clicked() {}
void MainWindow::on_download_clicked() {}
void MainWindow::on_create_directory_clicked() {}
void MainWindow::on_refresh_clicked() {}
void MainWindow::on_delete_clicked() {}
void MainWindow::on_task_list_clicked() {}
void MainWindow::on_online_list_clicked() {}
void MainWindow::on_download_records_clicked() {}
void MainWindow::on_restore_deleted_clicked() {}
void MainWindow::on_task_list_activated(const QModelIndex&) {}
void MainWindow::on_menu_refresh() {}
void MainWindow::on_menu_delete() {}
void MainWindow::on_menu_edit() {}
void MainWindow::on_menu_copy_address() {}

}  // namespace corvane
