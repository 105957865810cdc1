#pragma once
// What the GUI tests share: the local service in-process on loopback with its demo space
// (demo / demo), a settings file of the test's own (TMPDIR points at a fresh directory),
// the process-wide objects, the main window, and a script that answers the modal
// dialogs and message boxes as they open.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "http/cookie_store.h"
#include "localservice/local_service.h"
#include "service/endpoints.h"
#include "tests/support/gbk.h"
#include "tests/support/temp_dir.h"
#include "ui/main/main_window.h"
#include "ui/process_objects.h"
#include "ui/qt_text.h"

namespace corvane::test {

// Generous: the machine may be loaded; a test that works never waits this long.
inline constexpr int WAIT_MS = 60000;

inline bool wait_until(const std::function<bool()>& condition) {
  return QTest::qWaitFor(condition, WAIT_MS);
}

inline QString qt(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// Answers modal windows in the order they open: each new modal widget gets the next
// handler. A modal window nobody expected is recorded and closed, so a test fails
// instead of hanging.
class ModalScript {
 public:
  ModalScript() {
    hide_watch_.script = this;
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  void then(std::function<void(QWidget*)> handler) { handlers_.push_back(std::move(handler)); }
  bool done() const { return handlers_.empty(); }
  const std::vector<std::string>& unexpected() const { return unexpected_; }

 private:
  void poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || w == last_.data()) return;
    last_ = w;
    // A dialog kept for the next time (the upload dialog) is new again once it hid.
    w->installEventFilter(&hide_watch_);
    if (handlers_.empty()) {
      unexpected_.push_back(w->metaObject()->className());
      QTimer::singleShot(0, w, [w] { w->close(); });
      return;
    }
    auto handler = std::move(handlers_.front());
    handlers_.pop_front();
    handler(w);
  }

  struct HideWatch : QObject {
    ModalScript* script = nullptr;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Hide && watched == script->last_.data()) script->last_ = nullptr;
      return false;
    }
  };

  HideWatch hide_watch_;
  QTimer timer_;
  QPointer<QWidget> last_;
  std::deque<std::function<void(QWidget*)>> handlers_;
  std::vector<std::string> unexpected_;
};

// Clicks the Yes or No button of a question box, after checking its text (UTF-8).
inline std::function<void(QWidget*)> answer_question(std::string expected_text, bool yes,
                                                     std::string* seen_title = nullptr) {
  return [expected_text, yes, seen_title](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << w->metaObject()->className();
    EXPECT_EQ(box->text(), qt(expected_text));
    if (seen_title) *seen_title = box->windowTitle().toStdString();
    box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
  };
}

template <class T>
T* child(QWidget* parent, const char* utf8_name) {
  T* found = parent->findChild<T*>(QString::fromUtf8(utf8_name));
  EXPECT_NE(found, nullptr) << utf8_name;
  return found;
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_cookie_store();
    LocalService::Options options;
    options.data_dir = data_.str();
    options.seed_demo = true;
    std::string error;
    service_ = LocalService::start(options, &error);
    ASSERT_TRUE(service_) << error;
    set_endpoints(default_endpoints(service_->domain()));
  }

  void TearDown() override {
    if (window_) {
      EXPECT_TRUE(wait_until([&] { return window_->running_workers() == 0; }));
      window_.reset();
    }
    objects_.reset();
    if (service_) service_->stop();
    set_endpoints(default_endpoints());
  }

  // The settings file as the next start finds it ("" values are written as such).
  void save_login(const std::string& user, const std::string& pass) {
    write_setting(SETTING_USER, gbk(user));
    write_setting(SETTING_PASS, gbk(pass));
  }
  std::string saved(std::string_view key) const { return utf8(read_setting(key)); }

  MainWindow& open_window() {
    window_ = std::make_unique<MainWindow>(*objects_);
    window_->show();
    return *window_;
  }
  MainWindow& window() const { return *window_; }
  std::string status(int part) const { return utf8(window_->状态条->part(part)); }

  // Waits until the running login ended, in either way.
  bool wait_for_login_end() {
    return wait_until([&] { return window_->running_workers() == 0 && window_->图形按钮_登录->isEnabled(); });
  }
  bool wait_for_session() {
    return wait_until([&] { return window_->session_open() && status(1) == "目录获取完成"; });
  }

  TempDir data_;
  TempDir temp_;
  ScopedEnv tmpdir_{"TMPDIR", temp_.str()};
  std::unique_ptr<LocalService> service_;
  std::unique_ptr<ProcessObjects> objects_ = std::make_unique<ProcessObjects>();
  std::unique_ptr<MainWindow> window_;
};

}  // namespace corvane::test
