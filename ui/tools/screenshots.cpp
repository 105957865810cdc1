// corvane-screenshots [DIR]: opens each window of the client against the local service
// (in-process, on a fresh data directory, demo / demo) and saves a picture of it as PNG
// into DIR (default docs/screenshots). Run it under a real X server (make screenshots
// uses Xvfb) or with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/session_state.h"
#include "app/threads.h"
#include "localservice/local_service.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "ui/dialogs/access_password_window.h"
#include "ui/dialogs/captcha_window.h"
#include "ui/dialogs/login_window.h"
#include "ui/icons.h"
#include "ui/main/main_window.h"
#include "ui/process_objects.h"
#include "ui/qt_text.h"

namespace {

bool wait_for(const std::function<bool()>& condition, int ms = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void settle() {
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
}

bool save(QWidget& widget, const QDir& dir, const char* name) {
  settle();
  const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
  const bool ok = widget.grab().save(path);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

// Every look of the picture buttons, normal and hot, side by side.
bool save_button_sheet(const QDir& dir) {
  QWidget sheet;
  sheet.setAutoFillBackground(true);
  auto* grid = new QGridLayout(&sheet);
  grid->setSpacing(6);
  const corvane::PictureLook looks[] = {corvane::login_look(), corvane::logout_look(),
                                        corvane::file_list_look(), corvane::task_list_look()};
  int row = 0;
  std::vector<corvane::PictureButton*> hot;
  for (const corvane::PictureLook& look : looks) {
    for (int column = 0; column < 2; ++column) {
      auto* b = new corvane::PictureButton(&sheet);
      b->set_look(look);
      b->setFixedSize(55, 25);
      grid->addWidget(b, row, column);
      if (column == 1) hot.push_back(b);
    }
    ++row;
  }
  sheet.show();
  settle();
  for (corvane::PictureButton* b : hot) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(b, &enter);
  }
  return save(sheet, dir, "picture_buttons");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvane::init_pictures();
  corvane::set_message_pump([] { QCoreApplication::processEvents(); });
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "corvane-screenshots: cannot make %s\n", qPrintable(out.path()));
    return 1;
  }

  // A service of its own and a settings file of its own: nothing of the user's is read
  // or changed.
  QTemporaryDir work;
  qputenv("TMPDIR", work.path().toLocal8Bit());
  corvane::LocalService::Options options;
  options.data_dir = (work.path() + QStringLiteral("/service")).toStdString();
  options.seed_demo = true;
  std::string error;
  std::unique_ptr<corvane::LocalService> service = corvane::LocalService::start(options, &error);
  if (!service) {
    std::fprintf(stderr, "corvane-screenshots: the local service did not start: %s\n", error.c_str());
    return 1;
  }
  corvane::set_endpoints({service->domain(), service->main_host(), service->shortener_host()});

  auto* objects = new corvane::ProcessObjects;  // lives until the process ends, as in corvane
  auto* window = new corvane::MainWindow(*objects);
  window->show();
  bool ok = save(*window, out, "main_window");

  window->编辑框_隐藏账号->setText(QStringLiteral("demo"));
  window->编辑框_隐藏密码->setText(QStringLiteral("demo"));
  window->图形按钮_登录->setEnabled(false);
  window->start_login_flow();
  if (!wait_for([&] { return window->session_open(); })) {
    std::fprintf(stderr, "corvane-screenshots: the demo login did not finish\n");
    return 1;
  }
  window->超级列表框->select_row(0);
  ok &= save(*window, out, "main_window_session");

  {
    QLineEdit account, password;
    corvane::LoginWindow login(account, password, window);
    login.show();
    ok &= save(login, out, "login_window");
  }
  {
    objects->state.set_captcha_purpose(corvane::CAPTCHA_SPACE_LOGIN);
    corvane::CaptchaWindow captcha(objects->state, window);
    captcha.show();
    ok &= save(captcha, out, "captcha_window");
  }
  {
    corvane::AccessPasswordWindow access(objects->state, window);
    access.show();
    ok &= save(access, out, "access_password_window");
  }
  ok &= save_button_sheet(out);

  wait_for([&] { return window->running_workers() == 0; });
  std::fflush(nullptr);
  // As the client does: end without tearing down what workers might still hold.
  std::_Exit(ok ? 0 : 1);
}
