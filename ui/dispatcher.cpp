#include "ui/dispatcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <thread>

namespace corvane {

bool Dispatcher::on_gui_thread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void Dispatcher::post(std::function<void()> fn) { post(QCoreApplication::instance(), std::move(fn)); }

void Dispatcher::post(QObject* context, std::function<void()> fn) {
  if (!context || !fn) return;
  // Queued calls to objects of one thread are delivered in posting order.
  QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void Dispatcher::call_blocking(const std::function<void()>& fn) {
  if (!fn) return;
  if (on_gui_thread()) {
    fn();
    return;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void Dispatcher::run_on_gui(QObject* context, std::function<void()> fn) {
  if (on_gui_thread()) {
    if (fn) fn();
  } else {
    post(context, std::move(fn));
  }
}

void run_keeping_ui_alive(const std::function<void()>& fn) {
  if (!Dispatcher::on_gui_thread()) {
    fn();
    return;
  }
  QEventLoop loop;
  // The helper thread is joined before loop goes out of scope, so the quit it posts
  // always finds the loop alive; a quit posted before exec() starts is kept queued.
  std::thread helper([&] {
    fn();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  helper.join();
}

}  // namespace corvane
