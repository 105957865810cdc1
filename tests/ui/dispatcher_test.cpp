// Worker threads and the GUI thread: posted updates keep their order, blocking calls run
// on the GUI thread, the GUI thread keeps serving events while a command waits, and the
// prompter's dialogs answer workers through SessionState.
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <thread>

#include "tests/ui/ui_fixture.h"
#include "ui/dialogs/access_password_window.h"
#include "ui/dispatcher.h"
#include "ui/gui_prompter.h"

namespace corvane::test {
namespace {

TEST(DispatcherTest, PostsFromAWorkerArriveInOrderOnTheGuiThread) {
  std::vector<int> seen;
  std::atomic<bool> all_on_gui{true};
  QThread* gui = QThread::currentThread();
  std::thread worker([&] {
    EXPECT_FALSE(Dispatcher::on_gui_thread());
    for (int i = 0; i < 1000; ++i)
      Dispatcher::post([&, i] {
        if (QThread::currentThread() != gui) all_on_gui = false;
        seen.push_back(i);
      });
  });
  worker.join();
  ASSERT_TRUE(wait_until([&] { return seen.size() == 1000; }));
  EXPECT_TRUE(all_on_gui);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(DispatcherTest, PostsToAnObjectThatIsGoneAreDropped) {
  auto* context = new QObject;
  std::atomic<int> ran{0};
  std::thread([&] { Dispatcher::post(context, [&] { ++ran; }); }).join();
  delete context;
  QApplication::processEvents();
  EXPECT_EQ(ran, 0);
}

TEST(DispatcherTest, CallBlockingRunsOnTheGuiThreadAndWaits) {
  EXPECT_TRUE(Dispatcher::on_gui_thread());
  bool inline_ran = false;
  Dispatcher::call_blocking([&] { inline_ran = true; });  // on the GUI thread: at once
  EXPECT_TRUE(inline_ran);

  QThread* gui = QThread::currentThread();
  std::atomic<bool> done{false};
  QThread* ran_on = nullptr;
  int order = 0, posted_at = 0, blocking_at = 0;
  std::thread worker([&] {
    Dispatcher::post([&] { posted_at = ++order; });
    Dispatcher::call_blocking([&] {
      ran_on = QThread::currentThread();
      blocking_at = ++order;
    });
    // call_blocking returned: its work is done.
    EXPECT_EQ(blocking_at, 2);
    done = true;
  });
  ASSERT_TRUE(wait_until([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(ran_on, gui);
  EXPECT_EQ(posted_at, 1);  // behind the earlier post
}

TEST(DispatcherTest, RunKeepingUiAliveServesEventsUntilTheWorkIsDone) {
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(1);
  std::atomic<bool> release{false};
  bool worker_saw_gui = true;
  int result = 0;
  run_keeping_ui_alive([&] {
    worker_saw_gui = Dispatcher::on_gui_thread();
    // Hold the work until the GUI thread has demonstrably served its timer.
    Dispatcher::call_blocking([&] {});
    while (!release) {
      Dispatcher::call_blocking([&] { release = ticks >= 3; });
      std::this_thread::yield();
    }
    result = 42;
  });
  EXPECT_FALSE(worker_saw_gui);
  EXPECT_EQ(result, 42);
  EXPECT_GE(ticks, 3);
}

// The access-password dialog, opened for a worker through the prompter.
class PrompterTest : public ::testing::Test {
 protected:
  // Runs ask_access_password on a worker while the script answers the dialog.
  std::string ask(std::function<void(AccessPasswordWindow*)> answer, std::string before = "old") {
    state.set_access_password(before);
    ModalScript script;
    script.then([answer](QWidget* w) {
      auto* dialog = qobject_cast<AccessPasswordWindow*>(w);
      ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
      EXPECT_EQ(dialog->windowTitle(), qt(" 请输入访问密码"));
      EXPECT_EQ(dialog->编辑框1->echoMode(), QLineEdit::Normal);
      answer(dialog);
    });
    std::atomic<bool> done{false};
    std::thread worker([&] {
      prompter.ask_access_password(state);
      done = true;
    });
    EXPECT_TRUE(wait_until([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(script.done());
    return state.access_password();
  }

  SessionState state;
  GuiPrompter prompter;
};

TEST_F(PrompterTest, AccessPasswordDialogAnswers) {
  struct Case {
    const char* name;
    std::function<void(AccessPasswordWindow*)> answer;
    std::string expected;
  } cases[] = {
      {"typed and OK", [](AccessPasswordWindow* d) { d->编辑框1->setText(qt("pw1")); d->按钮1->click(); }, "pw1"},
      {"typed and Enter",
       [](AccessPasswordWindow* d) {
         d->编辑框1->setText(qt("密码"));
         QTest::keyClick(d->编辑框1, Qt::Key_Return);
       },
       gbk("密码")},
      {"empty and OK", [](AccessPasswordWindow* d) { d->按钮1->click(); }, ""},
      {"cancel", [](AccessPasswordWindow* d) { d->编辑框1->setText(qt("x")); d->按钮2->click(); }, ""},
      {"close box", [](AccessPasswordWindow* d) { d->编辑框1->setText(qt("x")); d->close(); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ask(c.answer), c.expected);
  }
}

TEST_F(PrompterTest, MessageBoxesFromAWorker) {
  struct Case {
    const char* name;
    std::string title;  // GBK
    MessageButtons buttons;
    bool click_yes;
    const char* expected_title;
    bool expected;
  } cases[] = {
      {"OK box without a title", "", MessageButtons::ok, true, "信息：", true},
      {"question answered No", gbk("标题"), MessageButtons::yes_no, false, "标题", false},
      {"question answered Yes", "", MessageButtons::yes_no, true, "信息：", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModalScript script;
    std::string title;
    script.then([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle().toStdString();
      EXPECT_EQ(box->text(), qt("验证码不准确"));
      if (c.buttons == MessageButtons::ok)
        box->button(QMessageBox::Ok)->click();
      else
        box->button(c.click_yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    std::atomic<int> result{-1};
    std::thread worker([&] { result = prompter.show_message(gbk("验证码不准确"), c.title, c.buttons) ? 1 : 0; });
    EXPECT_TRUE(wait_until([&] { return result.load() >= 0; }));
    worker.join();
    EXPECT_EQ(title, c.expected_title);
    EXPECT_EQ(result.load() == 1, c.expected);
  }
}

}  // namespace
}  // namespace corvane::test
