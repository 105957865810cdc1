// Listings through the client's own parsers: the root directories, a directory with
// sub-directories and files, and a protected directory that a visitor opens with its
// access password.
#include <gtest/gtest.h>

#include "tests/localservice/service_fixture.h"

namespace corvane::test {
namespace {

struct Listing {
  int count = 0;
  TextList ids, addresses, times, names, sizes, subdirectory_files;
  std::string upload_code;
};

Listing list(ServiceClient& c, const std::string& directory) {
  Listing l;
  l.count = c.list_files(directory, l.ids, l.addresses, l.times, l.names, l.sizes,
                         l.subdirectory_files, l.upload_code);
  return l;
}

class ServiceListingTest : public LocalServiceTest {
 protected:
  // The directory number of a root directory, by name, from the client's listing.
  std::string number_of(ServiceClient& c, const std::string& name) {
    TextList keys, names;
    c.list_directories(keys, names);
    int i = index_of(names, name);
    return i < 0 ? std::string() : keys[static_cast<std::size_t>(i)].substr(0, keys[static_cast<std::size_t>(i)].find('_'));
  }

  SessionState state;
  ReadingPrompter prompter;
};

TEST_F(ServiceListingTest, RootDirectoriesWithTheirPasswordFlags) {
  auto c = owner(state, prompter);
  TextList keys, names;
  ASSERT_EQ(c->list_directories(keys, names), 5);
  EXPECT_EQ(names, (TextList{gbk("文档"), gbk("照片"), gbk("音乐视频"), gbk("软件"), gbk("私密")}));
  for (std::size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(keys[i].substr(keys[i].find('_')), i == 4 ? "_1" : "_0") << keys[i];
  // number|name| per directory, for the status poll's notices.
  const std::string first = keys[0].substr(0, keys[0].find('_')) + "|" + names[0] + "|";
  EXPECT_EQ(c->directory_table.get().rfind(first, 0), 0u) << c->directory_table.get();
}

TEST_F(ServiceListingTest, DirectoryWithSubdirectoriesAndFiles) {
  auto c = owner(state, prompter);
  const std::string documents = number_of(*c, gbk("文档"));
  Listing l = list(*c, documents);
  // One sub-directory row first, then the directory's own four files.
  ASSERT_EQ(l.count, 5);
  EXPECT_EQ(l.names, (TextList{gbk("2023年"), gbk("说明.txt"), gbk("合同.doc"), gbk("预算.xlsx"), "notes.txt"}));
  EXPECT_EQ(l.ids[0], "-");
  EXPECT_EQ(l.sizes[0], "-");
  EXPECT_EQ(l.sizes[2], "24KB");
  for (int i = 1; i < 5; ++i) {
    EXPECT_NE(l.ids[static_cast<std::size_t>(i)], "-");
    EXPECT_EQ(l.addresses[static_cast<std::size_t>(i)].rfind("http://" + space_host() + "/xz/", 0), 0u)
        << l.addresses[static_cast<std::size_t>(i)];
    EXPECT_EQ(l.times[static_cast<std::size_t>(i)].size(), 19u);  // 2026-05-28 09:06:40
  }
  ASSERT_EQ(l.subdirectory_files.size(), 1u);
  TextList entries = split(l.subdirectory_files[0], "=|=");
  ASSERT_EQ(entries.size(), 3u);  // two files and the empty piece after the last
  EXPECT_EQ(split(entries[0], "|")[3], gbk("会议记录.txt"));
  EXPECT_EQ(split(entries[1], "|")[4], "18KB");
  // The owner gets the upload code and the upload server.
  EXPECT_EQ(l.upload_code.size(), 16u);
  EXPECT_EQ(c->upload_server.get(), "up1");
}

TEST_F(ServiceListingTest, VisitorOpensAProtectedDirectoryWithItsPassword) {
  ServiceClient visitor(state, prompter);
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  const std::string secret = number_of(visitor, gbk("私密"));
  ASSERT_FALSE(secret.empty());

  prompter.access_passwords = {""};
  EXPECT_EQ(list(visitor, secret).count, -2);
  prompter.access_passwords = {"nope"};
  EXPECT_EQ(list(visitor, secret).count, -1);
  prompter.access_passwords = {"1234"};
  Listing l = list(visitor, secret);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.names[0], gbk("日记.txt"));
  EXPECT_EQ(prompter.access_requests(), 3);
  // Opened once, the directory stays open for the session.
  EXPECT_EQ(list(visitor, secret).count, 1);
  EXPECT_EQ(prompter.access_requests(), 3);
  // Visitors never get an upload code.
  EXPECT_EQ(l.upload_code, "");
  EXPECT_EQ(list(visitor, number_of(visitor, gbk("文档"))).upload_code, "");
}

TEST_F(ServiceListingTest, OwnerSeesProtectedDirectoriesWithoutAPassword) {
  auto c = owner(state, prompter);
  Listing l = list(*c, number_of(*c, gbk("私密")));
  EXPECT_EQ(l.count, 1);
  EXPECT_EQ(prompter.access_requests(), 0);
}

TEST_F(ServiceListingTest, UnknownDirectoryListsNothing) {
  auto c = owner(state, prompter);
  EXPECT_EQ(list(*c, "999").count, 0);
  EXPECT_EQ(list(*c, "abc").count, 0);
}

TEST_F(ServiceListingTest, DownloadAddressesAreNotGuessable) {
  auto c = owner(state, prompter);
  Listing l = list(*c, number_of(*c, gbk("文档")));
  const std::string& address = l.addresses[1];
  const std::string path = address.substr(address.find("/xz/"));
  auto ok = get(space_host(), path);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->body, gbk("这是演示空间。可以浏览、下载文件；管理员可以上传、编辑和删除。\r\n"));
  // The same file id with another key, or under another space, is not found.
  std::string forged = path;
  forged[forged.find('/', 4) + 1] ^= 1;
  auto bad = get(space_host(), forged);
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 404);
}

}  // namespace
}  // namespace corvane::test
