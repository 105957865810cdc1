#pragma once
// Starting worker threads and waiting without blocking a window thread. Worker threads
// are detached: nobody joins them, and those still running when the program ends end
// with it.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

namespace corvane {

// Starts routine on a new detached thread with the default stack size. False when the
// thread could not be created; the routine then never runs.
bool run_detached(std::function<void()> routine);
// The same, with value as the routine's only argument.
bool run_detached(std::function<void(int)> routine, int value);

using TextRoutine = std::function<void(const std::string&, const std::string&,
                                       const std::string&, const std::string&,
                                       const std::string&)>;

// Identifies one start of run_in_thread; 0 when the thread could not be created. Only
// a token: the thread is detached and cannot be joined through it.
using ThreadHandle = std::uint64_t;

// Starts routine on a new detached thread with copies of a1 to a5 taken now, so later
// changes to the caller's texts do not reach it, and the texts arrive unchanged
// whatever they hold (commas included). thread_id receives the new thread's id.
// Pauses 1 ms before returning.
ThreadHandle run_in_thread(TextRoutine routine, std::string a1, std::string a2, std::string a3,
                           std::string a4, std::string a5, std::thread::id& thread_id);

// A routine may take fewer texts (at least none, at most five); it gets the first ones.
template <class F>
  requires(!std::is_convertible_v<F, TextRoutine> &&
           (std::is_invocable_v<F&> || std::is_invocable_v<F&, const std::string&> ||
            std::is_invocable_v<F&, const std::string&, const std::string&> ||
            std::is_invocable_v<F&, const std::string&, const std::string&, const std::string&> ||
            std::is_invocable_v<F&, const std::string&, const std::string&, const std::string&,
                                const std::string&>))
ThreadHandle run_in_thread(F routine, std::string a1, std::string a2, std::string a3,
                           std::string a4, std::string a5, std::thread::id& thread_id) {
  using S = const std::string&;
  TextRoutine adapted = [f = std::move(routine)]([[maybe_unused]] S t1, [[maybe_unused]] S t2,
                                                 [[maybe_unused]] S t3, [[maybe_unused]] S t4,
                                                 S) mutable {
    if constexpr (std::is_invocable_v<F&, S, S, S, S>)
      f(t1, t2, t3, t4);
    else if constexpr (std::is_invocable_v<F&, S, S, S>)
      f(t1, t2, t3);
    else if constexpr (std::is_invocable_v<F&, S, S>)
      f(t1, t2);
    else if constexpr (std::is_invocable_v<F&, S>)
      f(t1);
    else
      f();
  };
  return run_in_thread(std::move(adapted), std::move(a1), std::move(a2), std::move(a3),
                       std::move(a4), std::move(a5), thread_id);
}

// Installs the routine that processes the pending window events of the calling thread;
// an empty function removes it. The window thread installs one, so that its windows
// stay responsive while it waits; other threads have none and simply sleep.
void set_message_pump(std::function<void()> pump);

// Runs the calling thread's message pump once, if one is installed; nothing otherwise.
// Long list fills call it after each row so that the window thread stays responsive.
void process_pending_messages();

// Returns true after amount units of time (unit 0 or an unknown unit: milliseconds,
// 1: seconds, 2: minutes, 3: hours). While waiting it calls the calling thread's
// message pump, if any, about every 10 ms.
bool wait_with_messages(long long amount, int unit = 0);

}  // namespace corvane
