// The file list: the root directory list after a login.
//
// This is the first form of the listing: the root directories and the commands of the
// session's identity. Opening directories, the status poll and refreshing come with
// the browsing commands.
#include "service/service_client.h"
#include "text/gbk_text.h"
#include "ui/main/main_window.h"
#include "ui/process_objects.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"

namespace corvane {

void MainWindow::load_directory_list() {
  SessionState& state = objects_.state;
  state.set_current_directory("");
  state.set_directory_upload_code("");
  state.set_directory_index({});

  TextList keys, names;
  const int n = objects_.service_client.list_directories(keys, names);

  std::vector<ListRow> rows;
  TextList index;
  for (int i = 0; i < n && static_cast<std::size_t>(i) < keys.size() && static_cast<std::size_t>(i) < names.size(); ++i) {
    const std::string& key = keys[static_cast<std::size_t>(i)];
    const std::string& name = names[static_cast<std::size_t>(i)];
    const std::string number = text_before(key, "_");
    const bool protected_directory = to_integer(text_after_last(key, "_")) >= 1;
    rows.push_back({{name, "-", "-", number, protected_directory ? ui_text::PROTECTED_DIRECTORY : "-"}, 10});
    index.push_back(name + "|" + number + "|");
  }
  state.set_directory_index(index);
  const std::string title = std::string(ui_text::COUNT_TITLE_HEAD) + std::to_string(rows.size()) +
                            ui_text::COUNT_TITLE_DIRECTORIES;
  const std::string account = state.account_name();

  post_to_window([this, rows = std::move(rows), title, account]() mutable {
    超级列表框->list().set_rows(std::move(rows));
    超级列表框->list().set_column_title(0, title);
    for (QWidget* w : {static_cast<QWidget*>(超级列表框), static_cast<QWidget*>(图形按钮_登录),
                       static_cast<QWidget*>(图形按钮_下载), static_cast<QWidget*>(图形按钮_刷新)})
      w->setEnabled(true);
    if (状态条->part(STATUS_IDENTITY_PART) == ui_text::IDENTITY_OWNER) {
      for (QWidget* w : std::initializer_list<QWidget*>{图形按钮_上传, 图形按钮_删除, 图形按钮_新建目录,
                                                        图形按钮_下载记录, 图形按钮_恢复删除文件})
        w->setEnabled(true);
    }
    图形按钮_任务列表->setEnabled(true);
    图形按钮_在线列表->setEnabled(true);
    透明标签_加载提示->hide();
    状态条->set_part(STATUS_MESSAGE_PART, ui_text::DIRECTORIES_LOADED);
    透明标签_用户显示->setText(to_qt(account));
    图形按钮_登录->set_look(logout_look());
  });
}

void MainWindow::on_file_list_activated(const QModelIndex&) {}

void MainWindow::on_file_list_context_menu(const QPoint&) {}

}  // namespace corvane
