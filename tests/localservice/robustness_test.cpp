// Bad input gets a clear answer and leaves nothing behind; several clients at once are
// served correctly; a restart on the same data directory keeps everything.
#include <gtest/gtest.h>

#include <thread>

#include "tests/localservice/service_fixture.h"

namespace corvane::test {
namespace {

constexpr const char* BOUNDARY = "---------------------------7de15037c013e";

// The upload form exactly as the client builds it.
std::string upload_body(const std::string& filename, const std::string& bytes) {
  const std::string d = std::string("--") + BOUNDARY;
  return d + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"" + filename +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n" + d +
         "--\r\nContent-Disposition: form-data; name=\"Upload\"\r\n\r\nSubmit Query\r\n" + d + "--";
}

class ServiceRobustnessTest : public LocalServiceTest {
 protected:
  void SetUp() override {
    LocalServiceTest::SetUp();
    client = owner(state, prompter);
    TextList keys, names;
    client->list_directories(keys, names);
    documents = keys[0].substr(0, keys[0].find('_'));
    relist();
  }
  void relist() {
    TextList ids, addresses, times, sizes, subs;
    rows = client->list_files(documents, ids, addresses, times, names, sizes, subs, upload_code);
    this->addresses = addresses;
  }
  std::string upload_target(const std::string& name) const {
    return "/?p=03" + upload_code + "0&ly=" + space_host() + "&m=15&f=" + name + "&l=&t=";
  }
  std::string upload_host() const { return "cv-up1." + service->domain(); }
  std::size_t blob_count() const {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(data.path() / "files")) {
      (void)e;
      ++n;
    }
    return n;
  }
  std::string frame_target() const { return "/cx/kj.aspx?dlmc=demo"; }

  SessionState state;
  ReadingPrompter prompter;
  std::unique_ptr<ServiceClient> client;
  std::string documents, upload_code;
  int rows = 0;
  TextList names, addresses;
};

TEST_F(ServiceRobustnessTest, MalformedFormsAndUnknownOperations) {
  struct Case {
    const char* name;
    std::string body;
    int status;
    const char* says;  // UTF-8
  };
  const Case cases[] = {
      {"empty body", "", 400, "请求无效"},
      {"fields out of order", "Yz1=&Yz0=ml_dq&Yz2=&Yz3=&Yz4=", 400, "请求无效"},
      {"field missing", "Yz0=dq&Yz1=1&Yz2=&Yz3=", 400, "请求无效"},
      {"binary garbage", std::string("\x00\xFF\x81=&&%%%", 10), 400, "请求无效"},
      {"unknown operation", "Yz0=rm_rf&Yz1=&Yz2=&Yz3=&Yz4=", 200, "未知的操作"},
      {"directory number not a number", "Yz0=dq&Yz1=1%20OR%201=1&Yz2=&Yz3=&Yz4=", 200, "目录不存在"},
      {"change without the owner's session", "Yz0=xzml&Yz1=x&Yz2=&Yz3=&Yz4=011000", 200, "无操作权限"},
      // Forms are small; a huge one is refused before it is read.
      {"huge form", "Yz0=xzml&Yz1=" + std::string(200000, 'a') + "&Yz2=&Yz3=&Yz4=011000", 413, "请求无效"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = post(space_host(), frame_target(), c.body);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status);
    EXPECT_NE(r->body.find(gbk(c.says)), std::string::npos) << utf8(r->body);
    EXPECT_EQ(r->body.find("parent.Q.f_s="), std::string::npos);
  }
  EXPECT_FALSE(client->create_directory(std::string(101, 'a'), ""));
  TextList keys, dirs;
  EXPECT_EQ(client->list_directories(keys, dirs), 5);
}

TEST_F(ServiceRobustnessTest, BrokenUploadsStoreNothing) {
  const std::size_t blobs = blob_count();
  const std::string good = upload_body("a.txt", "abc");
  const std::string type = std::string("multipart/form-data; boundary=") + BOUNDARY;
  struct Case {
    const char* name;
    std::string target, body, content_type;
  };
  const Case cases[] = {
      {"no closing delimiter", upload_target("a.txt"), good.substr(0, good.find("abc") + 3), type},
      {"no part head end", upload_target("a.txt"), std::string("--") + BOUNDARY + "\r\nContent-Dis", type},
      {"empty body", upload_target("a.txt"), "", type},
      {"no boundary given", upload_target("a.txt"), good, "multipart/form-data"},
      {"another boundary", upload_target("a.txt"), good, "multipart/form-data; boundary=xyz"},
      {"not multipart", upload_target("a.txt"), good, "text/plain"},
      {"unknown upload code", "/?p=03nothing0&ly=" + space_host() + "&m=15&f=a.txt&l=&t=", good, type},
      {"no p at all", "/?ly=" + space_host() + "&f=a.txt", good, type},
      {"another space's host", "/?p=03" + upload_code + "0&ly=x." + service->domain() + "&m=15&f=a.txt&l=&t=", good, type},
      {"broken escape in the name", upload_target("a%u12"), good, type},
      {"name with a slash", upload_target("..%2Fa.txt"), upload_body("../a.txt", "abc"), type},
      {"name with a control character", upload_target("a%09.txt"), upload_body("a\t.txt", "abc"), type},
      {"sub-directory with a colon", upload_target("a.txt").replace(upload_target("a.txt").find("&l="), 3, "&l=c%3A"), good, type},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = post(upload_host(), c.target, c.body, c.content_type);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body.find(gbk("3为上传成功")), std::string::npos) << utf8(r->body);
  }
  EXPECT_EQ(blob_count(), blobs);
  const int before = rows;
  relist();
  EXPECT_EQ(rows, before);
  // The same form, whole, goes in.
  auto r = post(upload_host(), upload_target("a.txt"), good, type);
  ASSERT_TRUE(r);
  EXPECT_NE(r->body.find(gbk("3为上传成功")), std::string::npos);
  EXPECT_EQ(blob_count(), blobs + 1);
}

TEST_F(ServiceRobustnessTest, OversizeBodiesAreRefusedWhole) {
  const std::size_t blobs = blob_count();
  const std::string body = upload_body("big.bin", std::string(17 * 1024 * 1024, 'z'));
  auto r = post(upload_host(), upload_target("big.bin"), body,
                std::string("multipart/form-data; boundary=") + BOUNDARY);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 413);
  EXPECT_EQ(r->body.find(gbk("3为上传成功")), std::string::npos);
  EXPECT_EQ(blob_count(), blobs);
  // The server goes on serving.
  TextList keys, dirs;
  EXPECT_EQ(client->list_directories(keys, dirs), 5);
}

TEST_F(ServiceRobustnessTest, UnknownHostsAndPages) {
  auto r = get("elsewhere.example", "/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 404);
  r = get(space_host(), "/no/such/page");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 404);
  r = get(space_host(), "/xz/1");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 404);
  r = get(service->domain(), "/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 302);
  r = get("a.b." + service->domain(), "/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 404);
}

TEST_F(ServiceRobustnessTest, SeveralClientsAtOnce) {
  const std::string type = std::string("multipart/form-data; boundary=") + BOUNDARY;
  constexpr int THREADS = 6, FILES = 5;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < FILES; ++i) {
        const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i) + ".bin";
        const std::string bytes(static_cast<std::size_t>(1000 * (t + 1) + i), static_cast<char>('a' + t));
        auto up = post(upload_host(), upload_target(name), upload_body(name, bytes), type);
        if (!up || up->body.find(gbk("3为上传成功")) == std::string::npos) ++failures;
        auto list = post(space_host(), frame_target(), "Yz0=ml_dq&Yz1=&Yz2=&Yz3=&Yz4=");
        if (!list || list->body.find("value=\"<li id='x") == std::string::npos) ++failures;
        auto status = get(space_host(), "/C_zxsj.aspx?dlmc=demo");
        if (!status || status->body.find("zx:\"") == std::string::npos) ++failures;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  relist();
  EXPECT_EQ(rows, 5 + THREADS * FILES);
  for (int t = 0; t < THREADS; ++t) {
    const std::string name = "t" + std::to_string(t) + "_0.bin";
    const int i = index_of(names, name);
    ASSERT_GE(i, 0) << name;
    const std::string rest = addresses[static_cast<std::size_t>(i)].substr(7);
    auto r = get(rest.substr(0, rest.find('/')), rest.substr(rest.find('/')));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, std::string(static_cast<std::size_t>(1000 * (t + 1)), static_cast<char>('a' + t)));
  }
}

TEST_F(ServiceRobustnessTest, RestartKeepsEverything) {
  const std::string bytes = "kept across restarts";
  auto up = post(upload_host(), upload_target("keep.txt"), upload_body("keep.txt", bytes),
                 std::string("multipart/form-data; boundary=") + BOUNDARY);
  ASSERT_TRUE(up);
  ASSERT_TRUE(client->create_directory(gbk("新目录"), "pw"));
  relist();
  const std::string address = addresses[static_cast<std::size_t>(index_of(names, "keep.txt"))];
  const std::string path = address.substr(address.find("/xz/"));
  ASSERT_EQ(get(space_host(), path)->body, bytes);

  restart();  // the same data directory, another port
  clear_cookie_store();
  client = owner(state, prompter);
  TextList keys, dirs;
  EXPECT_EQ(client->list_directories(keys, dirs), 6);
  EXPECT_EQ(dirs.back(), gbk("新目录"));
  EXPECT_EQ(keys.back().substr(keys.back().find('_')), "_1");
  relist();
  EXPECT_GE(index_of(names, "keep.txt"), 0);
  EXPECT_EQ(get(space_host(), path)->body, bytes);
  TextList when, ips, files, amounts, speeds, taken;
  EXPECT_EQ(client->list_download_records(when, ips, files, amounts, speeds, taken), 2);
  // The demo is seeded once only.
  EXPECT_EQ(dirs.size(), 6u);
}

}  // namespace
}  // namespace corvane::test
