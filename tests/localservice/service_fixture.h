#pragma once
// What the local service's tests share: a service on a fresh data directory (with the
// demo space), a ServiceClient pointed at it, a prompter that answers captchas by
// reading the picture the way a person would, and a plain HTTP client for raw requests.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "localservice/captcha.h"
#include "http/cookie_store.h"
#include "localservice/local_service.h"
#include "service/captcha.h"
#include "service/endpoints.h"
#include "service/prompter.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/temp_dir.h"

namespace corvane::test {

// Reads the four characters of a captcha BMP: dark pixels are strokes, everything else
// is background or noise; each character slot is matched against every glyph of the
// font at every offset the picture may use. "" when the file is not such a picture.
inline std::string read_captcha(const std::string& bmp) {
  using namespace corvane::local;
  auto u32 = [&](std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bmp[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bmp[at + 3])) << 24;
  };
  if (bmp.size() < 54 || bmp.compare(0, 2, "BM") != 0) return {};
  const int width = static_cast<int>(u32(18)), height = static_cast<int>(u32(22));
  const std::size_t offset = u32(10), row_bytes = static_cast<std::size_t>((width * 3 + 3) / 4 * 4);
  if (width != CAPTCHA_WIDTH || height != CAPTCHA_HEIGHT ||
      bmp.size() < offset + row_bytes * static_cast<std::size_t>(height))
    return {};
  auto dark = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    const std::size_t at = offset + row_bytes * static_cast<std::size_t>(height - 1 - y) +
                           static_cast<std::size_t>(x) * 3;
    int sum = static_cast<unsigned char>(bmp[at]) + static_cast<unsigned char>(bmp[at + 1]) +
              static_cast<unsigned char>(bmp[at + 2]);
    return sum < 400;
  };
  std::string code;
  for (int slot = 0; slot < CAPTCHA_LENGTH; ++slot) {
    char best = '?';
    int best_score = -1;
    for (char c : CAPTCHA_ALPHABET) {
      const auto* rows = glyph(c);
      for (int dx = 0; dx <= CAPTCHA_X_JITTER; ++dx)
        for (int y0 = CAPTCHA_TOP_MIN; y0 <= CAPTCHA_TOP_MAX; ++y0) {
          const int x0 = CAPTCHA_FIRST_X + slot * CAPTCHA_PITCH + dx;
          int score = 0;
          for (int r = 0; r < GLYPH_ROWS; ++r)
            for (int col = 0; col < GLYPH_COLUMNS; ++col) {
              bool ink = (*rows)[static_cast<std::size_t>(r)] & (1 << (GLYPH_COLUMNS - 1 - col));
              bool seen = dark(x0 + col * GLYPH_SCALE + GLYPH_SCALE / 2, y0 + r * GLYPH_SCALE + GLYPH_SCALE / 2);
              score += ink == seen;
            }
          if (score > best_score) {
            best_score = score;
            best = c;
          }
        }
    }
    if (best_score < GLYPH_ROWS * GLYPH_COLUMNS) return {};  // no glyph fits exactly
    code += best;
  }
  return code;
}

// Answers every captcha by loading and reading its picture, as the dialog and the person
// in front of it would. The first wrong_answers answers are deliberately wrong.
class ReadingPrompter : public Prompter {
 public:
  int wrong_answers = 0;
  bool cancel_captcha = false;
  std::deque<std::string> access_passwords;  // "" when empty: cancelled

  void ask_captcha(SessionState& state) override {
    std::lock_guard lock(mutex_);
    purposes_.push_back(state.captcha_purpose());
    if (cancel_captcha) {
      state.set_captcha_answer("");
      return;
    }
    std::string code = read_captcha(load_captcha_image(state));
    if (wrong_answers > 0 && !code.empty()) {
      --wrong_answers;
      code = code[0] == 'A' ? "BBBB" : "AAAA";
    }
    state.set_captcha_answer(code);
  }
  void ask_access_password(SessionState& state) override {
    std::lock_guard lock(mutex_);
    ++access_requests_;
    std::string p;
    if (!access_passwords.empty()) {
      p = access_passwords.front();
      access_passwords.pop_front();
    }
    state.set_access_password(p);
  }
  bool show_message(const std::string& text, const std::string&, MessageButtons) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    return true;
  }
  std::vector<std::string> purposes() const {
    std::lock_guard lock(mutex_);
    return purposes_;
  }
  std::vector<std::string> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  int access_requests() const {
    std::lock_guard lock(mutex_);
    return access_requests_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> purposes_, messages_;
  int access_requests_ = 0;
};

// A clock the tests can move forward.
struct TestClock {
  std::shared_ptr<std::atomic<int64_t>> now = std::make_shared<std::atomic<int64_t>>(1'780'000'000);
  std::function<int64_t()> function() const {
    auto n = now;
    return [n] { return n->load(); };
  }
  void advance(int64_t seconds) { *now += seconds; }
};

class LocalServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_cookie_store();
    start();
  }
  void TearDown() override {
    if (service) service->stop();
    set_endpoints(default_endpoints());
  }

  void start() {
    LocalService::Options options;
    options.data_dir = data.str();
    options.seed_demo = true;
    options.clock = clock.function();
    std::string error;
    service = LocalService::start(options, &error);
    ASSERT_TRUE(service) << error;
    set_endpoints(default_endpoints(service->domain()));
  }
  void restart() {
    service->stop();
    service.reset();
    start();
  }

  // A raw request to one host of the service.
  httplib::Result get(const std::string& host, const std::string& target,
                      const std::string& cookie = "") {
    httplib::Client c("127.0.0.1", service->port());
    httplib::Headers h{{"Host", host}};
    if (!cookie.empty()) h.emplace("Cookie", cookie);
    return c.Get(target.c_str(), h);
  }
  httplib::Result post(const std::string& host, const std::string& target, const std::string& body,
                       const std::string& content_type = "application/x-www-form-urlencoded",
                       const std::string& cookie = "") {
    httplib::Client c("127.0.0.1", service->port());
    httplib::Headers h{{"Host", host}};
    if (!cookie.empty()) h.emplace("Cookie", cookie);
    return c.Post(target.c_str(), h, body, content_type.c_str());
  }
  std::string space_host(const std::string& account = "demo") const {
    return account + "." + service->domain();
  }

  // A ServiceClient logged into the demo space as its owner.
  std::unique_ptr<ServiceClient> owner(SessionState& state, Prompter& prompter) {
    auto c = std::make_unique<ServiceClient>(state, prompter);
    EXPECT_EQ(c->login("demo", std::string("demo")), gbk("登录成功"));
    return c;
  }

  TempDir data;
  TestClock clock;
  std::unique_ptr<LocalService> service;
};

// The position of a directory by name in a directory listing, -1 when absent.
inline int index_of(const TextList& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

}  // namespace corvane::test
