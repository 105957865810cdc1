// Changes to the tree through the client's create, edit and delete operations, the
// owner's rights, and what the status poll and the online list report about them.
#include <gtest/gtest.h>

#include "tests/localservice/service_fixture.h"

namespace corvane::test {
namespace {

class ServiceEditTest : public LocalServiceTest {
 protected:
  void SetUp() override {
    LocalServiceTest::SetUp();
    client = owner(state, prompter);
  }
  // name -> number of every root directory, in order.
  std::vector<std::pair<std::string, std::string>> directories(ServiceClient& c) {
    TextList keys, names;
    c.list_directories(keys, names);
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i < keys.size(); ++i)
      out.emplace_back(names[i], keys[i].substr(0, keys[i].find('_')));
    return out;
  }
  std::string number(const std::string& utf8_name) {
    for (auto& [name, n] : directories(*client))
      if (name == gbk(utf8_name)) return n;
    return {};
  }
  // The rows of a directory: name -> id ("-" for a sub-directory).
  std::map<std::string, std::string> rows(ServiceClient& c, const std::string& directory) {
    TextList ids, addresses, times, names, sizes, subs;
    std::string code;
    c.list_files(directory, ids, addresses, times, names, sizes, subs, code);
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < names.size(); ++i) out[names[i]] = ids[i];
    return out;
  }
  std::string update() {
    std::string status, notice;
    client->read_space_status(status, notice);
    // Drop the time in front ("14:9:5 ").
    return notice.empty() ? notice : notice.substr(notice.find(' '));
  }

  SessionState state;
  ReadingPrompter prompter;
  std::unique_ptr<ServiceClient> client;
};

TEST_F(ServiceEditTest, CreateRenameProtectAndDeleteADirectory) {
  EXPECT_TRUE(client->create_directory(gbk("新 目录"), ""));
  EXPECT_FALSE(client->create_directory(gbk("新 目录"), ""));  // exists
  EXPECT_FALSE(client->create_directory("", ""));
  EXPECT_FALSE(client->create_directory("a/b", ""));
  EXPECT_FALSE(client->create_directory("a\"b", ""));
  const std::string n = number("新 目录");
  ASSERT_FALSE(n.empty());

  EXPECT_TRUE(client->edit_directory(n, gbk("改名"), "pw"));
  EXPECT_TRUE(number("新 目录").empty());
  ASSERT_EQ(number("改名"), n);
  // The edit dialog sends "~~~~~~" for a password left as it was.
  EXPECT_TRUE(client->edit_directory(n, gbk("改名2"), "~~~~~~"));

  clear_cookie_store();
  ServiceClient visitor(state, prompter);
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  TextList ids, addresses, times, names, sizes, subs;
  std::string code;
  prompter.access_passwords = {"~~~~~~", "pw"};
  EXPECT_EQ(visitor.list_files(n, ids, addresses, times, names, sizes, subs, code), -1);
  EXPECT_EQ(visitor.list_files(n, ids, addresses, times, names, sizes, subs, code), 0);
  EXPECT_EQ(prompter.access_requests(), 2);

  clear_cookie_store();
  client = owner(state, prompter);
  EXPECT_TRUE(client->edit_directory(n, gbk("改名2"), "new"));
  clear_cookie_store();
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  prompter.access_passwords = {"pw"};  // the old password no longer opens it
  EXPECT_EQ(visitor.list_files(n, ids, addresses, times, names, sizes, subs, code), -1);

  clear_cookie_store();
  client = owner(state, prompter);
  EXPECT_TRUE(client->delete_directory(n));
  EXPECT_TRUE(number("改名2").empty());
  EXPECT_FALSE(client->delete_directory(n));
}

TEST_F(ServiceEditTest, RenameAndMoveFilesAndSubdirectories) {
  const std::string documents = number("文档"), software = number("软件");
  auto before = rows(*client, documents);
  const std::string readme = before[gbk("说明.txt")];
  ASSERT_FALSE(readme.empty());

  EXPECT_TRUE(client->edit_file(readme, documents, documents, gbk("读我.txt")));
  EXPECT_EQ(rows(*client, documents)[gbk("读我.txt")], readme);
  EXPECT_TRUE(client->edit_file(readme, documents, software, gbk("读我.txt")));
  EXPECT_EQ(rows(*client, documents).count(gbk("读我.txt")), 0u);
  EXPECT_EQ(rows(*client, software)[gbk("读我.txt")], readme);
  EXPECT_FALSE(client->edit_file(readme, documents, software, "bad:name"));
  EXPECT_FALSE(client->edit_file("999999", documents, software, "x.txt"));
  EXPECT_FALSE(client->edit_file(readme, documents, "999999", "x.txt"));

  EXPECT_TRUE(client->edit_subdirectory(documents, software, gbk("2023年"), gbk("2024年")));
  EXPECT_EQ(rows(*client, documents).count(gbk("2023年")), 0u);
  EXPECT_EQ(rows(*client, software)[gbk("2024年")], "-");
  EXPECT_FALSE(client->edit_subdirectory(documents, software, gbk("2023年"), "x"));  // gone
  EXPECT_FALSE(client->edit_subdirectory(software, software, gbk("2024年"), "a_b"));
}

TEST_F(ServiceEditTest, DeleteFilesAndSubdirectories) {
  const std::string documents = number("文档");
  auto before = rows(*client, documents);
  EXPECT_TRUE(client->delete_file("w_" + before[gbk("合同.doc")], documents));
  EXPECT_FALSE(client->delete_file("w_" + before[gbk("合同.doc")], documents));  // already gone
  EXPECT_TRUE(client->delete_file("z_" + documents + "_" + gbk("2023年") + "_i", documents));
  auto after = rows(*client, documents);
  EXPECT_EQ(after.count(gbk("合同.doc")), 0u);
  EXPECT_EQ(after.count(gbk("2023年")), 0u);
  EXPECT_EQ(after.size(), before.size() - 2);
}

TEST_F(ServiceEditTest, VisitorsMayNotChangeAnything) {
  const std::string documents = number("文档");
  auto before = rows(*client, documents);
  clear_cookie_store();
  ServiceClient visitor(state, prompter);
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  EXPECT_FALSE(visitor.create_directory("x", ""));
  EXPECT_FALSE(visitor.edit_directory(documents, "x", ""));
  EXPECT_FALSE(visitor.edit_file(before[gbk("合同.doc")], documents, documents, "x.doc"));
  EXPECT_FALSE(visitor.edit_subdirectory(documents, documents, gbk("2023年"), "x"));
  EXPECT_FALSE(visitor.delete_file("w_" + before[gbk("合同.doc")], documents));
  EXPECT_FALSE(visitor.delete_directory(documents));
  EXPECT_EQ(rows(visitor, documents), before);
  EXPECT_EQ(directories(visitor).size(), 5u);
}

TEST_F(ServiceEditTest, StatusPollNamesEachChangeOnce) {
  std::string status, notice = "unchanged";
  const std::string documents = number("文档");  // also fills the directory table
  client->read_space_status(status, notice);
  EXPECT_EQ(status, gbk("空间:1000M 剩余:998.04M 在线:1人"));
  EXPECT_EQ(notice, "");

  struct Step {
    std::function<bool()> change;
    const char* notice;  // UTF-8, after the time
  };
  auto ids = rows(*client, documents);
  const Step steps[] = {
      {[&] { return client->create_directory("x", ""); }, " 新增目录"},
      {[&] { return client->edit_directory(number("x"), "y", ""); }, " 编辑目录"},
      {[&] { return client->delete_directory(number("y")); }, " 删除目录"},
      {[&] { return client->edit_file(ids[gbk("说明.txt")], documents, documents, "a.txt"); },
       " 编辑文件,位于:文档"},
      {[&] { return client->delete_file("w_" + ids[gbk("合同.doc")], documents); }, " 删除文件,位于:文档"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.notice);
    ASSERT_TRUE(s.change());
    number("文档");  // the client relists after a change
    EXPECT_EQ(update(), gbk(s.notice));
    EXPECT_EQ(update(), "");  // told once
  }
}

TEST_F(ServiceEditTest, OnlineListShowsEverySession) {
  clear_cookie_store();
  ServiceClient visitor(state, prompter);
  ASSERT_EQ(visitor.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  TextList ips, entered, online;
  // The owner's session of SetUp and this visitor's.
  ASSERT_EQ(visitor.list_online(ips, entered, online), 2);
  EXPECT_EQ(ips, (TextList{"127.0.0.1", "127.0.0.1"}));
  EXPECT_EQ(entered[0].size(), 19u);
  EXPECT_EQ(online[1], gbk("0分0秒"));
  // Sessions not seen for a while are no longer online.
  clock.advance(11 * 60);
  EXPECT_EQ(visitor.list_online(ips, entered, online), 1);
}

}  // namespace
}  // namespace corvane::test
