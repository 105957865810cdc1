#include "app/threads.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

namespace corvane {
namespace {

using Texts = std::array<std::string, 5>;

// A result handed back by a detached thread. The routine holds the box by shared_ptr,
// so the promise outlives the routine's last touch of it even when the test has
// already returned.
template <class T>
struct Box {
  std::promise<T> promise;
  std::future<T> future = promise.get_future();
};

template <class T>
std::shared_ptr<Box<T>> make_box() {
  return std::make_shared<Box<T>>();
}

TEST(RunInThreadTest, TextsArriveExactly) {
  const Texts sent = {"a,b,c.txt", "C:\\\xC4\xBF\xC2\xBC\\x,y.txt" /* C:\目录\x,y.txt */, ",",
                      "", std::string("zero\0byte,", 10)};
  auto got = make_box<std::pair<Texts, std::thread::id>>();
  std::thread::id id;
  ThreadHandle handle = run_in_thread(
      [got](const std::string& a, const std::string& b, const std::string& c, const std::string& d,
            const std::string& e) {
        got->promise.set_value({{a, b, c, d, e}, std::this_thread::get_id()});
      },
      sent[0], sent[1], sent[2], sent[3], sent[4], id);
  EXPECT_NE(handle, 0u);
  auto [texts, ran_on] = got->future.get();
  EXPECT_EQ(texts, sent);
  EXPECT_EQ(ran_on, id);
  EXPECT_NE(ran_on, std::this_thread::get_id());
}

TEST(RunInThreadTest, RoutineSeesTextsAsAtTheCall) {
  std::string name = "before.txt";
  std::string path = "/tmp/before.txt";
  auto changed = make_box<void>();
  auto got = make_box<Texts>();
  std::thread::id id;
  run_in_thread(
      [changed, got](const std::string& a, const std::string& b, const std::string&,
                     const std::string&, const std::string&) {
        changed->future.wait();
        got->promise.set_value({a, b, "", "", ""});
      },
      name, path, "", "", "", id);
  name = "after.txt";
  path.assign(100, 'x');  // a reallocation would expose a dangling reference too
  changed->promise.set_value();
  Texts texts = got->future.get();
  EXPECT_EQ(texts[0], "before.txt");
  EXPECT_EQ(texts[1], "/tmp/before.txt");
}

TEST(RunInThreadTest, RoutineWithFewerTextsGetsTheFirstOnes) {
  auto one = make_box<std::string>();
  auto three = make_box<Texts>();
  auto none = make_box<void>();
  std::thread::id id;
  run_in_thread([one](const std::string& a) { one->promise.set_value(a); }, "dir,1", "b", "c", "",
                "", id);
  run_in_thread(
      [three](const std::string& a, const std::string& b, const std::string& c) {
        three->promise.set_value({a, b, c, "", ""});
      },
      "name", "path", "code", "unused", "unused", id);
  run_in_thread([none] { none->promise.set_value(); }, "", "", "", "", "", id);
  EXPECT_EQ(one->future.get(), "dir,1");
  EXPECT_EQ(three->future.get(), (Texts{"name", "path", "code", "", ""}));
  none->future.wait();
}

TEST(RunInThreadTest, SameRoutineRunsTwiceAtOnce) {
  // Two loads started in quick succession overlap; nothing serialises them.
  // Each routine finishes only once both have started.
  struct Meeting {
    std::atomic<int> started{0};
    std::promise<void> all_there;
    std::shared_future<void> go = all_there.get_future().share();
  };
  auto meeting = std::make_shared<Meeting>();
  auto done_a = make_box<void>();
  auto done_b = make_box<void>();
  auto routine = [meeting, done_a, done_b](const std::string& which) {
    if (++meeting->started == 2) meeting->all_there.set_value();
    meeting->go.wait();
    (which == "a" ? done_a : done_b)->promise.set_value();
  };
  std::thread::id id_a, id_b;
  EXPECT_NE(run_in_thread(routine, "a", "", "", "", "", id_a), 0u);
  EXPECT_NE(run_in_thread(routine, "b", "", "", "", "", id_b), 0u);
  done_a->future.wait();
  done_b->future.wait();
  EXPECT_NE(id_a, id_b);
}

TEST(RunDetachedTest, RunsRoutineOnAnotherThread) {
  auto ran = make_box<std::thread::id>();
  EXPECT_TRUE(run_detached([ran] { ran->promise.set_value(std::this_thread::get_id()); }));
  EXPECT_NE(ran->future.get(), std::this_thread::get_id());
}

TEST(RunDetachedTest, PassesTheValue) {
  auto got = make_box<int>();
  EXPECT_TRUE(run_detached([got](int row) { got->promise.set_value(row); }, 42));
  EXPECT_EQ(got->future.get(), 42);
}

// The pump runs on the thread that installed it, and only while that thread waits.
TEST(WaitWithMessagesTest, CallsThePumpOfTheWaitingThread) {
  std::atomic<int> calls{0};
  std::atomic<bool> wrong_thread{false};
  std::thread::id owner = std::this_thread::get_id();
  set_message_pump([&] {
    if (std::this_thread::get_id() != owner) wrong_thread = true;
    ++calls;
  });

  // Another thread's wait never runs this thread's pump.
  std::thread other([] { EXPECT_TRUE(wait_with_messages(30)); });
  other.join();
  EXPECT_EQ(calls.load(), 0);

  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(wait_with_messages(50, 0));
  auto waited = std::chrono::steady_clock::now() - begin;
  set_message_pump({});

  EXPECT_GE(waited, std::chrono::milliseconds(50));
  EXPECT_GE(calls.load(), 2);  // more than once: the wait is sliced, not one long sleep
  EXPECT_FALSE(wrong_thread.load());
}

TEST(WaitWithMessagesTest, UnitsScaleTheWait) {
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(wait_with_messages(1, 1));
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
}

TEST(WaitWithMessagesTest, RemovedPumpIsNotCalledAgain) {
  int calls = 0;
  set_message_pump([&calls] {
    ++calls;
    set_message_pump({});  // a pump may remove itself while it runs
  });
  EXPECT_TRUE(wait_with_messages(40));
  EXPECT_EQ(calls, 1);
}

TEST(ProcessPendingMessagesTest, RunsThisThreadsPumpOnce) {
  process_pending_messages();  // no pump installed: nothing happens
  int calls = 0;
  set_message_pump([&calls] { ++calls; });
  process_pending_messages();
  std::thread other([] { process_pending_messages(); });
  other.join();
  set_message_pump({});
  process_pending_messages();
  EXPECT_EQ(calls, 1);
}

TEST(WaitWithMessagesTest, NothingToWaitFor) {
  int calls = 0;
  set_message_pump([&calls] { ++calls; });
  EXPECT_TRUE(wait_with_messages(0));
  EXPECT_TRUE(wait_with_messages(-5, 3));
  set_message_pump({});
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace corvane
