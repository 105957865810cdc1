#pragma once
// Worker threads never touch widgets: they hand their updates to the GUI thread here.
// Updates posted from one thread run on the GUI thread in the order they were posted.
#include <functional>

class QObject;

namespace corvane {

class Dispatcher {
 public:
  // Whether the caller runs on the GUI thread (the thread of the QApplication).
  static bool on_gui_thread();

  // Queues fn to run on the GUI thread and returns at once. With a context object, fn
  // is dropped when the object is destroyed before its turn comes (a window that went
  // away meanwhile). Without a running QApplication fn is dropped.
  static void post(std::function<void()> fn);
  static void post(QObject* context, std::function<void()> fn);

  // Runs fn on the GUI thread: at once when already there, else queued behind earlier
  // posts, and waits until it returned. Workers use it for modal dialogs and for
  // reading controls. The GUI thread must not block waiting for such a worker (it
  // spins its event loop instead, see run_keeping_ui_alive).
  static void call_blocking(const std::function<void()>& fn);

  // fn inline on the GUI thread, else post(context, fn).
  static void run_on_gui(QObject* context, std::function<void()> fn);
};

// Runs fn on a helper thread and spins a local event loop on the calling (GUI) thread
// until it has returned, so the windows keep repainting and dialogs that fn opens
// through call_blocking work. Input to the other windows waits until fn is done,
// which keeps the steps of the command in order. Called off the GUI thread it simply
// runs fn.
void run_keeping_ui_alive(const std::function<void()>& fn);

}  // namespace corvane
