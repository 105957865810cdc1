#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "service/upload.h"
#include "tests/support/gbk.h"
#include "tests/support/raw_server.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

using test::gbk;

const std::string DELIMITER = "-----------------------------7de15037c013e";  // 29 hyphens

std::string expected_body(const std::string& filename_parameter, const std::string& content) {
  return DELIMITER + "\r\n" +
         "Content-Disposition: form-data; name=\"f\"; filename=\"" + filename_parameter + "\"\r\n" +
         "Content-Type: application/octet-stream\r\n" + "\r\n" + content + "\r\n" + DELIMITER +
         "--\r\n" + "Content-Disposition: form-data; name=\"Upload\"\r\n" + "\r\n" +
         "Submit Query\r\n" + DELIMITER + "--";
}

TEST(UploadBody, ByteForByte) {
  struct Case {
    const char* name;
    std::string file_name, content, filename_parameter;
  };
  const Case cases[] = {
      {"a space stays raw", "a b.txt", "hello\r\nworld", "a b.txt"},
      {"a Chinese name stays GBK", gbk("报告.doc"), std::string("\x00\xFF\x01", 3), gbk("报告.doc")},
      {"an empty file: line 4's CR LF meets line 6's", "e.txt", "", "e.txt"},
      {"CR, LF and the double quote would break the form", "a\"b\r\nc.txt", "x", "a%22b%0D%0Ac.txt"},
      {"a name that holds the placeholder", gbk("[文件名].txt"), "x", gbk("[文件名].txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(upload_body(c.file_name, c.content), expected_body(c.filename_parameter, c.content));
  }
  // The boundary of the header has two hyphens fewer than the delimiter lines.
  EXPECT_EQ(UPLOAD_BOUNDARY.size() + 2, DELIMITER.size());
  EXPECT_EQ(UPLOAD_CONTENT_TYPE, "multipart/form-data; boundary=" + std::string(UPLOAD_BOUNDARY));
}

TEST(UploadBody, OnlyTheThreeFramingBytesAreEncoded) {
  // Percent signs, other control bytes and double-byte characters go as they are.
  EXPECT_EQ(upload_form_file_name(gbk("100%\t文件\".txt")), gbk("100%\t文件%22.txt"));
}

TEST(UploadAddress, Parts) {
  struct Case {
    const char* name;
    std::string server, file_name, subdirectory, address;
  };
  const Case cases[] = {
      {"in the directory itself", "up3", "a b.txt", "",
       "http://cv-up3.corvane.example/?p=03K7x0&ly=demo.corvane.example&m=15&f=a%20b.txt&l=&t="},
      {"a Chinese name and a sub-directory", "up3", gbk("报告.doc"), gbk("新建"),
       "http://cv-up3.corvane.example/?p=03K7x0&ly=demo.corvane.example&m=15&f=%u62A5%u544A.doc"
       "&l=%u65B0%u5EFA&t="},
      {"no upload server known", "", "a.txt", "",
       "http://cv-.corvane.example/?p=03K7x0&ly=demo.corvane.example&m=15&f=a.txt&l=&t="},
      {"framing bytes are escaped in the address as well", "up3", "a\"b\r\n.txt", "",
       "http://cv-up3.corvane.example/?p=03K7x0&ly=demo.corvane.example&m=15&f=a%22b%0D%0A.txt"
       "&l=&t="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(upload_address(c.server, "corvane.example", "K7x", "demo", c.file_name,
                             c.subdirectory),
              c.address);
  }
}

TEST(UploadSucceeded, TheSuccessTextAnywhere) {
  EXPECT_TRUE(upload_succeeded(gbk("<script>alert('失败');x('3为上传成功');</script>")));
  EXPECT_FALSE(upload_succeeded(gbk("2为上传失败")));
  EXPECT_FALSE(upload_succeeded(""));
}

class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    domain = "corvane.localhost:" + std::to_string(server.port());
    set_endpoints(default_endpoints(domain));
    state.set_account_name("demo");
    client.upload_server = std::string("up3");
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  std::string file(const std::string& name, const std::string& content) {
    auto path = dir.path() / platform::gbk_to_utf8(name);
    test::write_file(path, content);
    return platform::gbk_from_native(path);
  }

  std::string answer = gbk("<script>parent.cg('3为上传成功');</script>");
  test::RawServer server{[this](const test::RawRequest&) {
    return test::RawServer::response(answer, "Content-Type: text/html\r\n");
  }};
  std::string domain;
  test::TempDir dir;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
};

TEST_F(UploadTest, PostsTheFormToTheUploadServerWithProgress) {
  const std::string content(5000, 'z');
  const std::string path = file(gbk("报告 1.txt"), content);

  // The monitor thread reports on its own schedule, its last call possibly after the
  // upload returned, so the record it writes into is shared with it.
  struct Reports {
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::pair<int64_t, int64_t>> seen;  // (total, done)
    std::vector<int32_t> users;
  };
  auto reports = std::make_shared<Reports>();
  TransferProgressCallback progress = [reports](int32_t user, int64_t& total, int64_t& done,
                                                int64_t&) {
    std::lock_guard lock(reports->mutex);
    reports->users.push_back(user);
    reports->seen.emplace_back(total, done);
    if (done == total) reports->finished.notify_all();
  };
  EXPECT_TRUE(client.upload_file(path, "K7x", progress, 7, gbk("新建")));

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const test::RawRequest& r = requests[0];
  EXPECT_EQ(r.request_line, "POST /?p=03K7x0&ly=demo." + domain +
                                "&m=15&f=%u62A5%u544A%201.txt&l=%u65B0%u5EFA&t= HTTP/1.1");
  EXPECT_EQ(r.header("Host"), "cv-up3." + domain);
  EXPECT_EQ(r.header("Content-Type"), std::string(UPLOAD_CONTENT_TYPE));
  EXPECT_EQ(r.body, expected_body(gbk("报告 1.txt"), content));
  EXPECT_EQ(r.header("Cookie"), "");

  const int64_t length = static_cast<int64_t>(r.body.size());
  std::unique_lock lock(reports->mutex);
  // A bound only against hanging for ever, not a speed requirement.
  reports->finished.wait_for(lock, std::chrono::seconds(30), [&] {
    return !reports->seen.empty() && reports->seen.back().second == length;
  });
  ASSERT_FALSE(reports->seen.empty());
  EXPECT_EQ(reports->seen.back(), std::make_pair(length, length));
  for (const auto& [total, done] : reports->seen) {
    EXPECT_EQ(total, length);
    EXPECT_LE(done, length);
  }
  for (int32_t user : reports->users) EXPECT_EQ(user, 7);
}

TEST_F(UploadTest, AnswersAndFiles) {
  struct Case {
    const char* name;
    std::string answer;
    bool readable;
    bool result;
  };
  const Case cases[] = {
      {"success text", gbk("3为上传成功"), true, true},
      {"an answer without it", gbk("上传失败"), true, false},
      {"an empty answer", "", true, false},
      {"an unreadable file goes out empty", gbk("3为上传成功"), false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    answer = c.answer;
    const std::size_t before = server.request_count();
    const std::string path = c.readable ? file("a.txt", "abc") : file("missing", "x") + "-not-there";
    EXPECT_EQ(client.upload_file(path, "K7x", nullptr, 0, ""), c.result);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 1);
    const std::string name = c.readable ? "a.txt" : "missing-not-there";
    EXPECT_EQ(requests.back().body, expected_body(name, c.readable ? "abc" : ""));
  }
}

TEST_F(UploadTest, AnUnreachableServerIsAFailure) {
  const int port = server.port();
  server.stop();
  set_endpoints(default_endpoints("corvane.localhost:" + std::to_string(port)));
  EXPECT_FALSE(client.upload_file(file("a.txt", "abc"), "K7x", nullptr, 0, ""));
}

}  // namespace
}  // namespace corvane
