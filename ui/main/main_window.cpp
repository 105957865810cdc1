// The main window's controls, its creation handler and how it closes.
#include "ui/main/main_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/settings.h"
#include "app/threads.h"
#include "ui/dispatcher.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/process_objects.h"
#include "ui/qt_text.h"
#include "ui/ui_texts.h"
#include "ui/window_geometry.h"

namespace corvane {

namespace {

PictureLook look(const char* picture, const char* caption) {
  return {QStringLiteral(":/buttons/") + QLatin1String(picture) + QStringLiteral(".svg"),
          QStringLiteral(":/buttons/") + QLatin1String(picture) + QStringLiteral("_hot.svg"),
          to_qt(caption)};
}

// Toolbar buttons from the left: picture, caption, x. Each is 55x25 at y = 1.
constexpr int BUTTON_WIDTH = 55, BUTTON_HEIGHT = 25, BUTTON_Y = 1;
// The login and exit buttons and the account label keep their distance from the
// right edge of the designed 794-pixel client area when the window is resized.
constexpr int DESIGN_WIDTH = 794;
constexpr int LOGIN_X = 683, EXIT_X = 739, USER_LABEL_X = 625;
constexpr int TOP_BAR_HEIGHT = 31;

PictureButton* make_button(QWidget* parent, const char* name, const PictureLook& look) {
  auto* b = new PictureButton(parent);
  b->setObjectName(QString::fromUtf8(name));
  b->set_look(look);
  b->resize(BUTTON_WIDTH, BUTTON_HEIGHT);
  return b;
}

}  // namespace

PictureLook login_look() { return look("login", ui_text::BUTTON_LOGIN); }
PictureLook logout_look() { return look("logout", ui_text::BUTTON_LOGOUT); }
PictureLook file_list_look() { return look("task_list", ui_text::BUTTON_TASK_LIST); }
PictureLook task_list_look() { return look("file_list", ui_text::BUTTON_FILE_LIST); }

MainWindow::MainWindow(ProcessObjects& objects, Hooks hooks, QWidget* parent)
    : QMainWindow(parent), objects_(objects), hooks_(std::move(hooks)) {
  init_pictures();
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(to_qt(ui_text::MAIN_CAPTION));
  create_controls();
  // Designed 800x550 at 50,50; the creation handler makes it 470 high.
  move(50, 50);
  resize(client_size(800, 550));
  objects_.prompter.set_parent_window(this);
  on_created();
}

MainWindow::~MainWindow() {
  destroy_update_log_window();
  objects_.prompter.forget_parent_window(this);
}

void MainWindow::create_controls() {
  central_ = new QWidget(this);
  setCentralWidget(central_);

  图片框3 = new QLabel(central_);
  图片框3->setObjectName(QStringLiteral("图片框3"));
  图片框3->setAutoFillBackground(true);
  {
    QPalette p = 图片框3->palette();
    QLinearGradient g(0, 0, 0, TOP_BAR_HEIGHT);
    g.setColorAt(0, QColor(0xfb, 0xfd, 0xff));
    g.setColorAt(1, QColor(0xe3, 0xec, 0xf6));
    p.setBrush(QPalette::Window, g);
    图片框3->setPalette(p);
  }

  图形按钮_上传 = make_button(central_, "图形按钮_上传", look("upload", ui_text::BUTTON_UPLOAD));
  图形按钮_下载 = make_button(central_, "图形按钮_下载", look("download", ui_text::BUTTON_DOWNLOAD));
  图形按钮_新建目录 = make_button(central_, "图形按钮_新建目录",
                                  look("create_directory", ui_text::BUTTON_CREATE_DIRECTORY));
  图形按钮_刷新 = make_button(central_, "图形按钮_刷新", look("refresh", ui_text::BUTTON_REFRESH));
  图形按钮_删除 = make_button(central_, "图形按钮_删除", look("delete", ui_text::BUTTON_DELETE));
  图形按钮_任务列表 = make_button(central_, "图形按钮_任务列表", file_list_look());
  图形按钮_在线列表 =
      make_button(central_, "图形按钮_在线列表", look("online_list", ui_text::BUTTON_ONLINE_LIST));
  图形按钮_下载记录 = make_button(central_, "图形按钮_下载记录",
                                  look("download_records", ui_text::BUTTON_DOWNLOAD_RECORDS));
  图形按钮_恢复删除文件 = make_button(central_, "图形按钮_恢复删除文件",
                                      look("restore_deleted", ui_text::BUTTON_RESTORE_DELETED));
  图形按钮_登录 = make_button(central_, "图形按钮_登录", login_look());
  图形按钮_退出 = make_button(central_, "图形按钮_退出", look("exit", ui_text::BUTTON_EXIT));

  透明标签_用户显示 = new QLabel(central_);
  透明标签_用户显示->setObjectName(QStringLiteral("透明标签_用户显示"));
  透明标签_用户显示->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  透明标签_用户显示->setTextFormat(Qt::PlainText);

  选择夹1 = new QTabWidget(central_);
  选择夹1->setObjectName(QStringLiteral("选择夹1"));
  选择夹1->setDocumentMode(false);
  auto make_page = [this](QWidget* list, const char* caption) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(1, 0, 1, 1);
    layout->addWidget(list);
    选择夹1->addTab(page, to_qt(caption));
  };
  const Qt::Alignment centred = Qt::AlignHCenter;
  超级列表框 = new ListView({{ui_text::COLUMN_FILE_NAME, 350},
                             {ui_text::COLUMN_SIZE, 80, centred},
                             {ui_text::COLUMN_TIME, 150, centred},
                             {ui_text::COLUMN_ID, 80, centred},
                             {"", 88, centred}});
  超级列表框->setObjectName(QStringLiteral("超级列表框"));
  超级列表框_任务列表 = new ListView({{ui_text::COLUMN_TASK_NAME, 320},
                                      {ui_text::COLUMN_TASK_PROGRESS, 150},
                                      {ui_text::COLUMN_TASK_SPEED, 150},
                                      {ui_text::COLUMN_TASK_STATE, 170}});
  超级列表框_任务列表->setObjectName(QStringLiteral("超级列表框_任务列表"));
  make_page(超级列表框, ui_text::TAB_DIRECTORIES);
  make_page(超级列表框_任务列表, ui_text::TAB_TASKS);

  透明标签_加载提示 = new QLabel(to_qt(ui_text::LOADING), central_);
  透明标签_加载提示->setObjectName(QStringLiteral("透明标签_加载提示"));
  透明标签_加载提示->resize(80, 15);
  透明标签_加载提示->setAlignment(Qt::AlignCenter);

  编辑框_隐藏账号 = new QLineEdit(central_);
  编辑框_隐藏账号->setObjectName(QStringLiteral("编辑框_隐藏账号"));
  编辑框_隐藏账号->hide();
  编辑框_隐藏密码 = new QLineEdit(central_);
  编辑框_隐藏密码->setObjectName(QStringLiteral("编辑框_隐藏密码"));
  编辑框_隐藏密码->setEchoMode(QLineEdit::Password);
  编辑框_隐藏密码->hide();

  超级菜单1 = new QWidget(central_);
  超级菜单1->setObjectName(QStringLiteral("超级菜单1"));
  超级菜单1->setGeometry(56, 152, 30, 30);
  超级菜单1->hide();
  右键菜单 = new QMenu(to_qt(ui_text::MENU_TITLE), 超级菜单1);
  右键菜单->setObjectName(QStringLiteral("右键菜单"));
  菜单_刷新目录 = 右键菜单->addAction(to_qt(ui_text::MENU_REFRESH));
  菜单_删除 = 右键菜单->addAction(to_qt(ui_text::MENU_DELETE));
  菜单_编辑 = 右键菜单->addAction(to_qt(ui_text::MENU_EDIT));
  菜单_复制地址 = 右键菜单->addAction(to_qt(ui_text::MENU_COPY_ADDRESS));

  状态条 = new PartStatusBar({70, 380, 40, 90, 220}, this);
  状态条->setObjectName(QStringLiteral("状态条"));
  setStatusBar(状态条);
  状态条->set_part(STATUS_HINT_PART, ui_text::STATUS_HINT);
  状态条->set_part(STATUS_RIGHTS_PART, ui_text::STATUS_RIGHTS);
  状态条->set_part(STATUS_SPACE_PART, ui_text::STATUS_SPACE_PLACEHOLDER);

  // The buttons lie over the top bar; the loading label over the list.
  for (QWidget* w : std::initializer_list<QWidget*>{
           图形按钮_上传, 图形按钮_下载, 图形按钮_新建目录, 图形按钮_刷新, 图形按钮_删除,
           图形按钮_任务列表, 图形按钮_在线列表, 图形按钮_下载记录, 图形按钮_恢复删除文件,
           图形按钮_登录, 图形按钮_退出, 透明标签_用户显示, 透明标签_加载提示})
    w->raise();

  connect(图形按钮_登录, &QAbstractButton::clicked, this, &MainWindow::on_login_clicked);
  connect(图形按钮_退出, &QAbstractButton::clicked, this, &MainWindow::on_exit_clicked);
  connect(图形按钮_上传, &QAbstractButton::clicked, this, &MainWindow::on_upload_clicked);
  connect(图形按钮_下载, &QAbstractButton::clicked, this, &MainWindow::on_download_clicked);
  connect(图形按钮_新建目录, &QAbstractButton::clicked, this, &MainWindow::on_create_directory_clicked);
  connect(图形按钮_刷新, &QAbstractButton::clicked, this, &MainWindow::on_refresh_clicked);
  connect(图形按钮_删除, &QAbstractButton::clicked, this, &MainWindow::on_delete_clicked);
  connect(图形按钮_任务列表, &QAbstractButton::clicked, this, &MainWindow::on_task_list_clicked);
  connect(图形按钮_在线列表, &QAbstractButton::clicked, this, &MainWindow::on_online_list_clicked);
  connect(图形按钮_下载记录, &QAbstractButton::clicked, this, &MainWindow::on_download_records_clicked);
  connect(图形按钮_恢复删除文件, &QAbstractButton::clicked, this, &MainWindow::on_restore_deleted_clicked);
  connect(超级列表框, &QAbstractItemView::activated, this, &MainWindow::on_file_list_activated);
  connect(超级列表框, &ListView::context_menu_requested, this, &MainWindow::on_file_list_context_menu);
  connect(超级列表框_任务列表, &QAbstractItemView::activated, this, &MainWindow::on_task_list_activated);
  connect(菜单_刷新目录, &QAction::triggered, this, &MainWindow::on_menu_refresh);
  connect(菜单_删除, &QAction::triggered, this, &MainWindow::on_menu_delete);
  connect(菜单_编辑, &QAction::triggered, this, &MainWindow::on_menu_edit);
  connect(菜单_复制地址, &QAction::triggered, this, &MainWindow::on_menu_copy_address);
}

void MainWindow::place_controls() {
  const int w = central_->width(), h = central_->height();
  const int right = w - DESIGN_WIDTH;  // how far the right-hand group moves
  图片框3->setGeometry(-1, -1, w + 2, TOP_BAR_HEIGHT);
  const std::initializer_list<PictureButton*> left_buttons = {
      图形按钮_上传, 图形按钮_下载, 图形按钮_新建目录, 图形按钮_刷新, 图形按钮_删除,
      图形按钮_任务列表, 图形按钮_在线列表, 图形按钮_下载记录, 图形按钮_恢复删除文件};
  int x = 4;
  for (PictureButton* b : left_buttons) {
    b->setGeometry(x, BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
    x += BUTTON_WIDTH + 1;
  }
  图形按钮_登录->setGeometry(LOGIN_X + right, BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
  图形按钮_退出->setGeometry(EXIT_X + right, BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
  透明标签_用户显示->setGeometry(USER_LABEL_X + right - 40, 4, 53 + 40, 20);
  选择夹1->setGeometry(-1, TOP_BAR_HEIGHT, w + 2, h - TOP_BAR_HEIGHT + 1);
  // Over the middle of the list, where the design has it in the 794-pixel window.
  透明标签_加载提示->move((w - 80) / 2 + 19, (h + 20) / 2);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  place_controls();
}

void MainWindow::on_created() {
  resize(width(), client_size(800, 470).height());
  if (hooks_.apply_skin) hooks_.apply_skin();
  create_update_log_window();
  disable_session_commands();
  图形按钮_任务列表->setEnabled(false);
  objects_.state.set_session_active(1);

  const std::string user = read_setting(SETTING_USER);
  const std::string pass = read_setting(SETTING_PASS);
  if (!user.empty() && !pass.empty()) {
    编辑框_隐藏账号->setText(to_qt(user));
    编辑框_隐藏密码->setText(to_qt(pass));
    图形按钮_登录->setEnabled(false);
    透明标签_加载提示->show();
    start_login_flow();
  }
}

void MainWindow::disable_session_commands() {
  for (QWidget* w : std::initializer_list<QWidget*>{超级列表框, 图形按钮_上传, 图形按钮_下载,
                                                    图形按钮_刷新, 图形按钮_删除, 图形按钮_新建目录})
    w->setEnabled(false);
  透明标签_加载提示->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{图形按钮_下载记录, 图形按钮_在线列表,
                                                    图形按钮_恢复删除文件})
    w->setEnabled(false);
}

std::string MainWindow::choose_upload_file() {
  if (!upload_dialog_) {
    upload_dialog_ = new QFileDialog(选择夹1, to_qt(ui_text::UPLOAD_DIALOG_TITLE));
    upload_dialog_->setObjectName(QStringLiteral("通用对话框1"));
    upload_dialog_->setFileMode(QFileDialog::ExistingFile);
    upload_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
    upload_dialog_->setNameFilter(to_qt(ui_text::UPLOAD_DIALOG_FILTER));
    // The filter stands for every file, but outside Windows "*.*" only matches names
    // with a dot: the dialog's own file list is told to show everything.
    if (auto* files = upload_dialog_->findChild<QFileSystemModel*>()) {
      files->setNameFilters({});
      connect(upload_dialog_, &QFileDialog::filterSelected, files, [files] { files->setNameFilters({}); });
    }
  }
  if (upload_dialog_->exec() != QDialog::Accepted) return {};
  const QStringList files = upload_dialog_->selectedFiles();
  return files.isEmpty() ? std::string() : from_qt(files.front());
}

void MainWindow::post_to_window(std::function<void()> fn) { Dispatcher::run_on_gui(this, std::move(fn)); }

void MainWindow::set_status(int part, const std::string& text) {
  post_to_window([this, part, text] { 状态条->set_part(part, text); });
}

std::string MainWindow::status(int part) const {
  std::string text;
  Dispatcher::call_blocking([&] { text = 状态条->part(part); });
  return text;
}

void MainWindow::set_control_enabled(QWidget* control, bool enabled) {
  QPointer<QWidget> c(control);
  post_to_window([c, enabled] {
    if (c) c->setEnabled(enabled);
  });
}

void MainWindow::set_control_visible(QWidget* control, bool visible) {
  QPointer<QWidget> c(control);
  post_to_window([c, visible] {
    if (c) c->setVisible(visible);
  });
}

bool MainWindow::start_worker(std::function<void()> routine) {
  auto counter = workers_;
  ++*counter;
  const bool started = run_detached([counter, routine = std::move(routine)] {
    routine();
    --*counter;
  });
  if (!started) --*counter;
  return started;
}

bool MainWindow::session_open() const { return 图形按钮_登录->look() == logout_look(); }

void MainWindow::on_exit_clicked() {
  if (!ask_yes_no(this, ui_text::EXIT_QUESTION)) return;
  exit_confirmed_ = true;
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!exit_confirmed_ && !ask_yes_no(this, ui_text::EXIT_QUESTION)) {
    event->ignore();
    return;
  }
  exit_confirmed_ = false;
  destroy_update_log_window();
  event->accept();
  emit window_closed();
}

}  // namespace corvane
