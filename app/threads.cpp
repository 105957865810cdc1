#include "app/threads.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <system_error>

namespace corvane {

namespace {

// The routine of run_in_thread and its own copies of the five texts; the thread owns it
// and releases it when the routine returns.
struct ThreadPackage {
  TextRoutine routine;
  std::string a1, a2, a3, a4, a5;
};

void thread_entry(std::unique_ptr<ThreadPackage> package) {
  package->routine(package->a1, package->a2, package->a3, package->a4, package->a5);
}

std::atomic<ThreadHandle> last_handle{0};

// Shared so that a pump which installs another pump (or removes itself) while it runs
// does not destroy the function it is executing.
thread_local std::shared_ptr<const std::function<void()>> message_pump;

constexpr std::chrono::milliseconds PUMP_SLICE{10};

}  // namespace

bool run_detached(std::function<void()> routine) {
  try {
    std::thread(std::move(routine)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

bool run_detached(std::function<void(int)> routine, int value) {
  try {
    std::thread(std::move(routine), value).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

ThreadHandle run_in_thread(TextRoutine routine, std::string a1, std::string a2, std::string a3,
                           std::string a4, std::string a5, std::thread::id& thread_id) {
  auto package = std::make_unique<ThreadPackage>(ThreadPackage{
      std::move(routine), std::move(a1), std::move(a2), std::move(a3), std::move(a4),
      std::move(a5)});
  try {
    std::thread worker(thread_entry, std::move(package));
    thread_id = worker.get_id();
    worker.detach();
  } catch (const std::system_error&) {
    thread_id = std::thread::id();
    return 0;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return ++last_handle;
}

void set_message_pump(std::function<void()> pump) {
  if (pump)
    message_pump = std::make_shared<const std::function<void()>>(std::move(pump));
  else
    message_pump.reset();
}

void process_pending_messages() {
  if (auto pump = message_pump) (*pump)();
}

bool wait_with_messages(long long amount, int unit) {
  long long unit_ms = 1;
  switch (unit) {
    case 1: unit_ms = 1000; break;
    case 2: unit_ms = 60'000; break;
    case 3: unit_ms = 3'600'000; break;
    default: break;
  }
  // Beyond a few decades the clock arithmetic would overflow; nobody waits that long.
  constexpr long long MAX_WAIT_MS = 1'000'000'000'000;
  long long wait_ms = amount <= 0 ? 0 : (amount > MAX_WAIT_MS / unit_ms ? MAX_WAIT_MS : amount * unit_ms);
  using Clock = std::chrono::steady_clock;
  const auto due = Clock::now() + std::chrono::milliseconds(wait_ms);
  for (auto now = Clock::now(); now < due; now = Clock::now()) {
    if (auto pump = message_pump) (*pump)();
    auto left = due - Clock::now();
    if (left <= Clock::duration::zero()) break;
    std::this_thread::sleep_for(left < PUMP_SLICE ? left : Clock::duration(PUMP_SLICE));
  }
  return true;
}

}  // namespace corvane
