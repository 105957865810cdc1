#pragma once
// Helpers of the transfer client tests: a progress log that also tells when every
// monitor thread that reported into it has ended, and directory listings.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/transfer_client.h"

namespace corvane::test {

// Polls pred until it holds or the limit passes; the limit only keeps a broken build
// from hanging the test run, it is not a speed assertion.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

struct ProgressCall {
  std::int32_t user;
  std::int64_t total;
  std::int64_t done;
  std::int64_t elapsed;
  std::thread::id thread;
};

class ProgressLog {
 public:
  // The callback holds the log's state; a monitor frees its copy of the callback when
  // it ends, so the state being held by this log alone means every monitor has ended.
  TransferProgressCallback callback() {
    auto state = state_;
    return [state](std::int32_t user, std::int64_t& total, std::int64_t& done,
                   std::int64_t& elapsed) {
      std::lock_guard lock(state->mutex);
      state->calls.push_back({user, total, done, elapsed, std::this_thread::get_id()});
    };
  }

  std::vector<ProgressCall> calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
  }

  bool monitors_ended() const {
    return eventually([&] { return state_.use_count() == 1; });
  }

 private:
  struct State {
    std::mutex mutex;
    std::vector<ProgressCall> calls;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

inline std::set<std::string> names_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    names.insert(entry.path().filename().string());
  return names;
}

// Bytes that differ at every position, zeros included.
inline std::string pattern_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
  return s;
}

}  // namespace corvane::test
