// Files in and out through the client's upload, plain downloads, the 15 MB limit,
// download records with paging, and the address shortener.
#include <gtest/gtest.h>

#include <random>

#include "http/page_fetcher.h"
#include "platform/paths.h"
#include "service/shortener.h"
#include "tests/localservice/service_fixture.h"
#include "tests/support/random_bytes.h"

namespace corvane::test {
namespace {

class ServiceTransferTest : public LocalServiceTest {
 protected:
  void SetUp() override {
    LocalServiceTest::SetUp();
    client = owner(state, prompter);
    TextList keys, names;
    client->list_directories(keys, names);
    documents = keys[static_cast<std::size_t>(index_of(names, gbk("文档")))];
    documents = documents.substr(0, documents.find('_'));
    relist();
  }
  // Lists the documents directory; keeps its upload code (and the upload server).
  void relist() {
    rows = client->list_files(documents, ids, addresses, times, names, sizes, subdirectory_files,
                              upload_code);
  }
  // A local file with these bytes; its path as the GBK text the client works with.
  std::string local_file(const std::string& gbk_name, const std::string& bytes) {
    const std::string path = platform::gbk_from_native(files.path()) + "/" + gbk_name;
    write_file(platform::native_path(path), bytes);
    return path;
  }
  bool upload(const std::string& gbk_name, const std::string& bytes, const std::string& sub = "") {
    return client->upload_file(local_file(gbk_name, bytes), upload_code, nullptr, 0, sub);
  }
  // The download address of a listed file, by name; "" when not listed.
  std::string address_of(const std::string& name) {
    relist();
    int i = index_of(names, name);
    return i < 0 ? std::string() : addresses[static_cast<std::size_t>(i)];
  }
  httplib::Result download(const std::string& address) {
    const std::string rest = address.substr(7);
    return get(rest.substr(0, rest.find('/')), rest.substr(rest.find('/')));
  }

  SessionState state;
  ReadingPrompter prompter;
  std::unique_ptr<ServiceClient> client;
  TempDir files;
  std::string documents, upload_code;
  int rows = 0;
  TextList ids, addresses, times, names, sizes, subdirectory_files;
};

TEST_F(ServiceTransferTest, UploadThenDownloadGivesTheSameBytes) {
  struct Case {
    const char* name;  // UTF-8
    std::size_t size;
  };
  // Binary content may hold anything, also what looks like the form's delimiter.
  const Case cases[] = {{"a b.bin", 1 << 20}, {"空文件.txt", 0}, {"报告 第2版.doc", 70001}, {"it's.txt", 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = random_bytes(c.size, c.size);
    const std::string delimiter = "\r\n-----------------------------7de15037c013e--";
    if (bytes.size() > 100) bytes.replace(50, delimiter.size(), delimiter);
    ASSERT_TRUE(upload(gbk(c.name), bytes));
    const std::string address = address_of(gbk(c.name));
    ASSERT_FALSE(address.empty());
    EXPECT_EQ(sizes[static_cast<std::size_t>(index_of(names, gbk(c.name)))],
              std::to_string((c.size + 1023) / 1024) + "KB");
    auto r = download(address);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_TRUE(r->body == bytes) << r->body.size() << " bytes back";
  }
}

TEST_F(ServiceTransferTest, FifteenMegabytesIsTheLimit) {
  const std::size_t limit = 15 * 1024 * 1024;
  EXPECT_TRUE(upload("limit.bin", std::string(limit, 'x')));
  EXPECT_FALSE(upload("over.bin", std::string(limit + 1, 'y')));
  EXPECT_FALSE(address_of("limit.bin").empty());
  EXPECT_TRUE(address_of("over.bin").empty());
}

TEST_F(ServiceTransferTest, SubdirectoryIsCreatedWithItsFirstUpload) {
  ASSERT_TRUE(upload("one.txt", "1", gbk("新目录")));
  ASSERT_TRUE(upload("two.txt", "22", gbk("新目录")));
  relist();
  ASSERT_GE(index_of(names, gbk("新目录")), 0);
  EXPECT_EQ(index_of(names, "one.txt"), -1);  // inside the sub-directory, not beside it
  const std::size_t sub = static_cast<std::size_t>(index_of(names, gbk("新目录")));
  // Sub-directories come after the existing one, in order of their first file.
  EXPECT_EQ(sub, 1u);
  EXPECT_NE(subdirectory_files[sub].find("|one.txt|"), std::string::npos);
  EXPECT_NE(subdirectory_files[sub].find("|two.txt|"), std::string::npos);
}

TEST_F(ServiceTransferTest, UploadsThatAreRefused) {
  const std::string good_code = upload_code;
  upload_code = "00000000deadbeef";  // no directory has it
  EXPECT_FALSE(upload("x.txt", "x"));
  upload_code = good_code;
  // "_" would break the ids that name a sub-directory.
  EXPECT_FALSE(upload("x.txt", "x", "a_b"));
  // An upload server of another label.
  client->upload_server = "up9";
  EXPECT_FALSE(upload("x.txt", "x"));
  client->upload_server = "up1";
  EXPECT_TRUE(upload("x.txt", "x"));
}

TEST_F(ServiceTransferTest, DownloadsAreRecordedAndReadPageByPage) {
  const std::string address = address_of(gbk("说明.txt"));
  ASSERT_FALSE(address.empty());
  for (int i = 0; i < 45; ++i) ASSERT_TRUE(download(address));
  TextList when, ips, files_, amounts, speeds, taken;
  ASSERT_EQ(client->list_download_records(when, ips, files_, amounts, speeds, taken), 45);
  EXPECT_EQ(files_[0], gbk("说明.txt"));
  EXPECT_EQ(ips[0], "127.0.0.1");
  EXPECT_EQ(amounts[0], "0.06KB");  // 64 bytes
  EXPECT_NE(taken[0].find(gbk("秒")), std::string::npos);

  // Twenty rows a page, the third part of the paging call is the page count.
  const std::string page1 = client->post_form("xsdllb", "1");
  EXPECT_NE(page1.find("D_xzlb_i.clfy('1,20,3,45')"), std::string::npos);
  EXPECT_NE(client->post_form("xsdllb", "3").find("D_xzlb_i.clfy('3,20,3,45')"), std::string::npos);
}

TEST_F(ServiceTransferTest, VisitorsMayDownloadButNotSeeRecords) {
  const std::string address = address_of(gbk("说明.txt"));
  clear_cookie_store();
  ServiceClient visitor(state, prompter);
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  auto r = download(address);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  TextList a, b, c, d, e, f;
  EXPECT_EQ(visitor.list_download_records(a, b, c, d, e, f), 0);
  EXPECT_NE(visitor.post_form("xsdllb", "1").find(gbk("无操作权限")), std::string::npos);
}

TEST_F(ServiceTransferTest, ShortAddressLeadsToTheDownload) {
  const std::string address = address_of(gbk("说明.txt"));
  const std::string short_address = shorten_address(address);
  ASSERT_EQ(short_address.rfind("http://" + service->shortener_host() + "/", 0), 0u) << short_address;
  EXPECT_EQ(shorten_address(address), short_address);  // one short form per address
  const std::string path = short_address.substr(7 + service->shortener_host().size());
  auto r = get(service->shortener_host(), path);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 302);
  // (httplib's client decodes Location; the page fetcher follows it as sent.)
  EXPECT_EQ(fetch_page(short_address), gbk("这是演示空间。可以浏览、下载文件；管理员可以上传、编辑和删除。\r\n"));
  // Addresses of other sites are not shortened.
  EXPECT_EQ(shorten_address("http://example.com/x"), "");
}

}  // namespace
}  // namespace corvane::test
