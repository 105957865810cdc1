#pragma once
// The program's only top-level window: the toolbar of picture buttons, the file list and
// the task list on two tabs, the status bar, and the session's login and logout.
//
// Worker routines (the login flow, listings, transfers, the status poll) run on detached
// threads and reach the controls only through the dispatcher: post_to_window() and the
// any-thread setters below. They use the window, so it must outlive them: the program
// ends its process with the window still alive, and tests wait for running_workers()
// to reach 0 before they destroy it.
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "ui/list_view.h"
#include "ui/picture_button.h"
#include "ui/status_bar.h"

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QTabWidget;
class QFileDialog;

namespace corvane {

struct ProcessObjects;
class LoginWindow;

// Status-bar parts.
inline constexpr int STATUS_HINT_PART = 0;
inline constexpr int STATUS_MESSAGE_PART = 1;
inline constexpr int STATUS_RIGHTS_PART = 2;
inline constexpr int STATUS_IDENTITY_PART = 3;
inline constexpr int STATUS_SPACE_PART = 4;

// Columns of the file list and of the task list.
inline constexpr int FILE_COLUMNS = 5;
inline constexpr int TASK_COLUMNS = 4;

// The pictures of the buttons with more than one look.
PictureLook login_look();
PictureLook logout_look();
PictureLook file_list_look();  // 图形按钮_任务列表 while the file list is shown
PictureLook task_list_look();  // 图形按钮_任务列表 while the task list is shown

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  struct Hooks {
    // Applies the skin to the windows; called by the creation handler (none yet).
    std::function<void()> apply_skin;
  };

  explicit MainWindow(ProcessObjects& objects, Hooks hooks = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  ProcessObjects& objects() const { return objects_; }

  // Controls, by the names the code uses for them (each also its objectName).
  PictureButton* 图形按钮_上传;
  PictureButton* 图形按钮_下载;
  PictureButton* 图形按钮_新建目录;
  PictureButton* 图形按钮_刷新;
  PictureButton* 图形按钮_删除;
  PictureButton* 图形按钮_任务列表;
  PictureButton* 图形按钮_在线列表;
  PictureButton* 图形按钮_下载记录;
  PictureButton* 图形按钮_恢复删除文件;
  PictureButton* 图形按钮_登录;
  PictureButton* 图形按钮_退出;
  QLabel* 图片框3;
  QLabel* 透明标签_用户显示;
  QTabWidget* 选择夹1;
  ListView* 超级列表框;
  ListView* 超级列表框_任务列表;
  QLabel* 透明标签_加载提示;
  PartStatusBar* 状态条;
  QLineEdit* 编辑框_隐藏账号;
  QLineEdit* 编辑框_隐藏密码;
  QWidget* 超级菜单1;  // holds the pop-up menu
  QMenu* 右键菜单;
  QAction* 菜单_刷新目录;
  QAction* 菜单_删除;
  QAction* 菜单_编辑;
  QAction* 菜单_复制地址;

  // The open-file dialog 通用对话框1 (title "选择要上传的文件", filter "所有文件(*.*)"),
  // made when first needed; returns the chosen path (GBK), "" when cancelled.
  std::string choose_upload_file();

  // Any thread. Texts are GBK.
  void set_status(int part, const std::string& text);
  // Any thread; from a worker it waits for the GUI thread to read it.
  std::string status(int part) const;
  void set_control_enabled(QWidget* control, bool enabled);
  void set_control_visible(QWidget* control, bool visible);

  // Queues fn onto the GUI thread (dropped if the window is gone by then); inline when
  // already there. Keeps the order of the calls of one thread.
  void post_to_window(std::function<void()> fn);

  // Starts routine on a detached worker (run_detached) and counts it in
  // running_workers() until it returns. False when no thread could be made.
  bool start_worker(std::function<void()> routine);
  int running_workers() const { return workers_->load(); }

  // Incremented by every logout; a status poller remembers the value it started with
  // and ends when it changes, even though session_active goes back to 1 at once.
  int session_generation() const { return session_generation_.load(); }

  // Whether the login button has its logout look (a session is open).
  bool session_open() const;

  // --- The session (login_flow.cpp) ---
  // Starts login_flow with the texts of the hidden account and password boxes.
  void start_login_flow();
  // Worker routine: logs in, then loads the directory list or reports the failure.
  void login_flow(const std::string& account, const std::string& password);
  // Logout after a confirmed question: empties the list and the session values.
  void logout();

  // --- Filled by the browsing half (listing.cpp, commands.cpp, update_log.cpp) ---
  // Lists the root directories, enables the commands of the identity in status part 3,
  // gives the login button its logout look; runs on a worker or the login thread.
  void load_directory_list();
  // The update-notice window: made hidden at creation and after a logout, destroyed
  // at logout and with the main window.
  void create_update_log_window();
  void destroy_update_log_window();
  // 标签3 of the login dialog was pressed: opens the registration window.
  void open_register_window(LoginWindow& login_window);

 signals:
  // The close was confirmed; the program's message loop ends with it.
  void window_closed();

 public slots:
  void on_login_clicked();
  void on_exit_clicked();
  void on_upload_clicked();
  void on_download_clicked();
  void on_create_directory_clicked();
  void on_refresh_clicked();
  void on_delete_clicked();
  void on_task_list_clicked();
  void on_online_list_clicked();
  void on_download_records_clicked();
  void on_restore_deleted_clicked();
  void on_file_list_activated(const QModelIndex& index);
  void on_file_list_context_menu(const QPoint& global_position);
  void on_task_list_activated(const QModelIndex& index);
  void on_menu_refresh();
  void on_menu_delete();
  void on_menu_edit();
  void on_menu_copy_address();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void create_controls();
  void place_controls();
  void on_created();
  // The commands that need a session: disabled at creation and logout.
  void disable_session_commands();

  ProcessObjects& objects_;
  Hooks hooks_;
  QWidget* central_ = nullptr;
  QPointer<QFileDialog> upload_dialog_;
  std::shared_ptr<std::atomic<int>> workers_ = std::make_shared<std::atomic<int>>(0);
  std::atomic<int> session_generation_{0};
  bool exit_confirmed_ = false;

  // For the browsing half: the update-notice window, when made.
  QPointer<QWidget> update_log_window_;
};

}  // namespace corvane
