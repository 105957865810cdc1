#include "app/session_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

TEST(SessionStateTest, StartsEmpty) {
  SessionState s;
  EXPECT_EQ(s.account_name(), "");
  EXPECT_EQ(s.session_active(), 0);
  EXPECT_TRUE(s.directory_index().empty());
  EXPECT_TRUE(s.online_lists().empty());
}

TEST(SessionStateTest, LogoutClearsTheSessionButKeepsPasswordAndCaptchaPurpose) {
  SessionState s;
  s.set_account_name("alice");
  s.set_content_base_url("http://c.example/");
  s.set_captcha_answer("1234");
  s.set_proxy_address("127.0.0.1:8080");
  s.set_access_password("dirpw");
  s.set_login_password("pw");
  s.set_captcha_purpose("\xB9\xDC\xC0\xED\xB5\xC7\xC2\xBC");  // 管理登录
  s.set_session_active(1);
  s.set_current_directory("7");

  s.clear_for_logout();

  EXPECT_EQ(s.account_name(), "");
  EXPECT_EQ(s.content_base_url(), "");
  EXPECT_EQ(s.captcha_answer(), "");
  EXPECT_EQ(s.proxy_address(), "");
  EXPECT_EQ(s.access_password(), "");
  EXPECT_EQ(s.login_password(), "pw");
  EXPECT_EQ(s.captcha_purpose(), "\xB9\xDC\xC0\xED\xB5\xC7\xC2\xBC");
  EXPECT_EQ(s.session_active(), 1);
  EXPECT_EQ(s.current_directory(), "7");

  s.reset();
  EXPECT_EQ(s.login_password(), "");
  EXPECT_EQ(s.session_active(), 0);
}

TEST(SessionStateTest, ReadIsACopy) {
  SessionState s;
  s.set_directory_index({"a|1|", "b|2|"});
  TextList copy = s.directory_index();
  copy.push_back("c|3|");
  EXPECT_EQ(s.directory_index().size(), 2u);
}

// Writers replace whole values while readers read them: every value read must be one
// that some writer wrote, never a mixture. Run under TSan this also shows that no
// access is unsynchronised.
TEST(SessionStateTest, ConcurrentWritersNeverTearAValue) {
  SessionState s;
  const std::string texts[] = {std::string(4096, 'a'), std::string(17, 'b'), std::string()};
  const TextList lists[] = {TextList(64, "x|1|"), TextList{"y|2|"}, TextList{}};
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};

  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; !stop; ++i) {
        s.set_account_name(texts[(i + w) % 3]);
        s.set_subdirectory_files(lists[(i + w) % 3]);
        s.set_session_active(i % 3);
        if (i % 97 == 0) s.clear_for_logout();
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        std::string name = s.account_name();
        if (name != texts[0] && name != texts[1] && name != texts[2]) ++torn;
        TextList list = s.subdirectory_files();
        if (list != lists[0] && list != lists[1] && list != lists[2]) ++torn;
        int active = s.session_active();
        if (active < 0 || active > 2) ++torn;
      }
    });
  }
  threads[2].join();
  threads[3].join();
  stop = true;
  threads[0].join();
  threads[1].join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace corvane
