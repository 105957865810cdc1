// The desktop client's start: from starting the process to the main window shown
// (offscreen, no saved login), and the main window's creation alone inside a running
// program. Goal: a cold start under 400 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/threads.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "ui/icons.h"
#include "ui/main/main_window.h"
#include "ui/process_objects.h"

namespace corvane {
namespace {

std::string self_path;

// What the child process does: the start-up of the program up to the shown main window.
[[noreturn]] void child_start(int argc, char** argv) {
  QApplication app(argc, argv);
  init_pictures();
  set_message_pump([] { QCoreApplication::processEvents(); });
  auto* objects = new ProcessObjects;
  auto* window = new MainWindow(*objects);
  window->show();
  while (!window->isVisible() || !window->windowHandle() || !window->windowHandle()->isExposed())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  QCoreApplication::processEvents();  // the first paint
  std::fputs("shown\n", stdout);
  std::fflush(nullptr);
  std::_Exit(0);
}

void BM_ColdStartToMainWindowShown(benchmark::State& state) {
  test::TempDir temp;  // an empty settings directory: no automatic login
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    test::ProcessResult r = test::run_process({self_path, "--child"}, "",
                                              {"QT_QPA_PLATFORM=offscreen", "TMPDIR=" + temp.str()});
    const auto end = std::chrono::steady_clock::now();
    if (r.exit_code != 0 || r.out != "shown\n") {
      state.SkipWithError(("the child did not show its window: " + r.err).c_str());
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}
BENCHMARK(BM_ColdStartToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CreateAndShowMainWindow(benchmark::State& state) {
  test::TempDir temp;
  test::ScopedEnv tmpdir("TMPDIR", temp.str());
  ProcessObjects objects;
  for (auto _ : state) {
    auto window = std::make_unique<MainWindow>(objects);
    window->show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    window.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateAndShowMainWindow)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) corvane::child_start(argc, argv);
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  corvane::self_path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : argv[0];
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  corvane::init_pictures();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
