#pragma once
// A value shared between threads that is only ever read or replaced whole. Reads return
// a copy taken under the lock, so no reader sees a half-written text.
#include <mutex>
#include <utility>

namespace corvane {

template <class T>
class Guarded {
 public:
  Guarded() = default;
  Guarded(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
  Guarded(const Guarded& other) : value_(other.get()) {}
  Guarded& operator=(const Guarded& other) {
    if (this != &other) set(other.get());
    return *this;
  }
  Guarded& operator=(T value) {
    set(std::move(value));
    return *this;
  }

  T get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }
  operator T() const { return get(); }  // NOLINT

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace corvane
