// corvane-cli against the local service: files in and out (Chinese names, sub-directories,
// the 15 MB limit), short links, renaming, moving, re-passwording and deleting, the
// recovery of deleted files, and the download records.
#include <gtest/gtest.h>
#include <httplib.h>

#include <random>

#include "http/page_fetcher.h"
#include "tests/cli/cli_service_fixture.h"
#include "tests/support/gbk.h"
#include "tests/support/random_bytes.h"

namespace corvane::test {
namespace {

class CliFilesTest : public CliServiceTest {
 protected:
  void SetUp() override {
    CliServiceTest::SetUp();
    documents = directory("文档");
    ASSERT_FALSE(documents.empty());
  }
  // A local file with these bytes; its path (UTF-8).
  std::string local_file(const std::string& name, const std::string& bytes) {
    const auto path = files.path() / name;
    write_file(path, bytes);
    return path.string();
  }
  // Downloads name from place into a fresh directory; the bytes that arrived.
  std::string fetch(const std::string& place, const std::string& name) {
    TempDir out;
    auto r = owner({"get", place, name, "-o", out.str()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return read_file(out.path() / name);
  }

  std::string documents;
};

TEST_F(CliFilesTest, UploadThenDownloadGivesTheSameBytes) {
  struct Case {
    const char* name;
    std::size_t size;
  };
  // Binary content may hold anything, also what looks like the form's delimiter.
  const Case cases[] = {{"a b.bin", 1 << 20}, {"报告 第2版.doc", 70001}, {"空文件.txt", 0}};
  std::vector<std::string> args = {"put", documents};
  std::map<std::string, std::string> contents;
  for (const Case& c : cases) {
    std::string bytes = random_bytes(c.size, c.size);
    if (bytes.size() > 100) bytes.replace(50, 46, "\r\n-----------------------------7de15037c013e--");
    contents[c.name] = bytes;
    args.push_back(local_file(c.name, bytes));
  }
  auto put = owner(args);
  ASSERT_EQ(put.exit_code, 0) << put.err;
  EXPECT_NE(put.out.find("报告 第2版.doc: 文件上传完成"), std::string::npos) << put.out;

  const auto listing = rows(documents);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto row = row_named(listing, c.name);
    ASSERT_TRUE(row.is_object());
    EXPECT_EQ(row["kind"], "file");
    EXPECT_EQ(row["size"], std::to_string((c.size + 1023) / 1024) + "KB");
    EXPECT_TRUE(fetch(documents, c.name) == contents[c.name]);
  }

  // Into a new sub-directory, made with its first file, and out again.
  const std::string bytes = random_bytes(5000, 7);
  auto sub = owner({"--json", "put", documents, local_file("图.png", bytes), "--subdir", "新目录"});
  ASSERT_EQ(sub.exit_code, 0) << sub.err;
  EXPECT_EQ(json_of(sub)["files"][0]["uploaded"], true);
  EXPECT_EQ(row_named(rows(documents), "新目录")["kind"], "subdirectory");
  EXPECT_EQ(row_named(rows(documents), "图.png"), nullptr);  // inside, not beside it
  EXPECT_TRUE(fetch(documents + "/新目录", "图.png") == bytes);
}

TEST_F(CliFilesTest, ListingRowsCarryEveryColumn) {
  const auto listing = rows(documents);
  ASSERT_TRUE(listing.is_array());
  ASSERT_FALSE(listing.empty());
  // Sub-directories first, with "-" where they have no value.
  EXPECT_EQ(listing[0]["kind"], "subdirectory");
  EXPECT_EQ(listing[0]["name"], "2023年");
  EXPECT_EQ(listing[0]["size"], "-");
  std::vector<std::string> keys;
  for (const auto& [key, value] : listing[1].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"kind", "id", "address", "time", "name", "size"}));
  EXPECT_EQ(listing[1]["address"].get<std::string>().rfind("http://demo." + service->domain() + "/", 0), 0u);

  const auto inside = rows(documents + "/2023年");
  ASSERT_EQ(inside.size(), 2u);
  EXPECT_EQ(inside[0]["name"], "会议记录.txt");
  EXPECT_EQ(inside[1]["name"], "报表.xls");
  EXPECT_EQ(inside[1]["size"], "18KB");
  EXPECT_EQ(owner({"ls", documents + "/无此目录"}).exit_code, 1);
}

TEST_F(CliFilesTest, FifteenMegabytesIsTheLimit) {
  const std::size_t limit = 15 * 1024 * 1024;
  auto r = owner({"--json", "put", documents, local_file("limit.bin", std::string(limit, 'x')),
                  local_file("over.bin", std::string(limit + 1, 'y'))});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("over.bin: 上传文件过大，限制15MB内"), std::string::npos) << r.err;
  const auto doc = json_of(r);
  EXPECT_EQ(doc["files"][0]["uploaded"], true);
  EXPECT_EQ(doc["files"][1]["uploaded"], false);
  EXPECT_EQ(doc["files"][1]["result"], "上传文件过大，限制15MB内");
  const auto listing = rows(documents);
  EXPECT_TRUE(row_named(listing, "limit.bin").is_object());
  EXPECT_EQ(row_named(listing, "over.bin"), nullptr);
}

TEST_F(CliFilesTest, WhatCannotBeReadIsNotSentAsAnEmptyFile) {
  auto missing = owner({"put", documents, (files.path() / "missing.txt").string()});
  EXPECT_EQ(missing.exit_code, 1);
  auto folder = owner({"put", documents, files.str()});
  EXPECT_EQ(folder.exit_code, 1);
  const auto listing = rows(documents);
  EXPECT_EQ(row_named(listing, "missing.txt"), nullptr);
  EXPECT_EQ(listing.size(), 5u);  // the demo's 2023年 and four files
}

TEST_F(CliFilesTest, ShortLinkLeadsToTheFile) {
  auto r = owner({"link", documents, "说明.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string short_address = r.out.substr(0, r.out.find('\n'));
  EXPECT_EQ(short_address.rfind("http://" + service->shortener_host() + "/", 0), 0u) << short_address;
  EXPECT_EQ(fetch_page(short_address), fetch(documents, "说明.txt"));
  EXPECT_EQ(owner({"link", documents, "2023年"}).exit_code, 1);  // a sub-directory has none
}

TEST_F(CliFilesTest, RenameMoveRepasswordAndDelete) {
  ASSERT_EQ(owner({"mkdir", "新目录", "--password", "pw1"}).out, "目录创建成功\n");
  const std::string created = directory("新目录");
  ASSERT_FALSE(created.empty());
  EXPECT_EQ(row_named(rows(""), "新目录")["encrypted"], true);
  auto opens_with = [&](const std::string& password) {
    return visitor({"ls", created}, password + "\n").exit_code == 0;
  };
  EXPECT_TRUE(opens_with("pw1"));

  // A new name alone keeps the password; --password sets it; an empty one removes it.
  ASSERT_EQ(owner({"edit-dir", created, "改名目录"}).out, "目录编辑成功\n");
  EXPECT_EQ(row_named(rows(""), "改名目录")["encrypted"], true);
  EXPECT_TRUE(opens_with("pw1"));
  ASSERT_EQ(owner({"edit-dir", created, "改名目录", "--password", "pw2"}).exit_code, 0);
  EXPECT_FALSE(opens_with("pw1"));
  EXPECT_TRUE(opens_with("pw2"));
  ASSERT_EQ(owner({"edit-dir", created, "改名目录", "--password", ""}).exit_code, 0);
  EXPECT_EQ(row_named(rows(""), "改名目录")["encrypted"], false);

  // Files: renamed in place, renamed and moved, renamed inside a sub-directory.
  ASSERT_EQ(owner({"rename", documents, "notes.txt", "笔记.txt"}).out, "文件编辑成功\n");
  ASSERT_EQ(owner({"rename", documents, "说明.txt", "说明书.txt", "--to", created}).exit_code, 0);
  ASSERT_EQ(owner({"rename", documents + "/2023年", "会议记录.txt", "纪要.txt"}).exit_code, 0);
  auto docs = rows(documents);
  EXPECT_TRUE(row_named(docs, "笔记.txt").is_object());
  EXPECT_EQ(row_named(docs, "说明.txt"), nullptr);
  EXPECT_TRUE(row_named(rows(created), "说明书.txt").is_object());
  EXPECT_TRUE(row_named(rows(documents + "/2023年"), "纪要.txt").is_object());

  // A sub-directory, renamed and moved with its files.
  ASSERT_EQ(owner({"edit-subdir", documents, "2023年", "2024年", "--to", created}).out, "子目录编辑成功\n");
  EXPECT_EQ(row_named(rows(documents), "2023年"), nullptr);
  EXPECT_EQ(rows(created + "/2024年").size(), 2u);

  // What the listing does not have is refused before anything is sent.
  EXPECT_EQ(owner({"rename", documents, "2023年", "x"}).exit_code, 1);
  EXPECT_EQ(owner({"rename", documents, "笔记.txt", "x", "--to", "999"}).exit_code, 1);
  EXPECT_EQ(owner({"edit-subdir", documents, "笔记.txt", "x"}).exit_code, 1);

  // Deleting: a file of a sub-directory, the sub-directory, a file, the directory.
  ASSERT_EQ(owner({"rm", created + "/2024年", "纪要.txt"}).out, "文件删除成功\n");
  EXPECT_EQ(rows(created + "/2024年").size(), 1u);
  ASSERT_EQ(owner({"rm", created, "2024年"}).out, "文件删除成功\n");
  EXPECT_EQ(row_named(rows(created), "2024年"), nullptr);
  ASSERT_EQ(owner({"rm", documents, "笔记.txt"}).exit_code, 0);
  EXPECT_EQ(row_named(rows(documents), "笔记.txt"), nullptr);
  ASSERT_EQ(owner({"rmdir", created}).out, "文件删除成功\n");
  EXPECT_EQ(directory("改名目录"), "");
  EXPECT_EQ(owner({"rm", documents, "笔记.txt"}).exit_code, 1);
  EXPECT_EQ(owner({"rmdir", created}).exit_code, 1);
}

TEST_F(CliFilesTest, DeletedFileIsRestored) {
  const std::string original = fetch(documents, "合同.doc");
  ASSERT_EQ(original.size(), 24u * 1024);
  ASSERT_EQ(owner({"rm", documents, "合同.doc"}).exit_code, 0);

  Keyboard keyboard;
  keyboard.wrong_captchas = 1;
  auto deleted = cli(as_owner({"--json", "deleted"}), keyboard);
  ASSERT_EQ(deleted.exit_code, 0) << deleted.err;
  EXPECT_EQ(keyboard.captchas(), 2);
  const auto listing = json_of(deleted);
  ASSERT_TRUE(listing.is_array());
  const auto row = row_named(listing, "合同.doc");
  ASSERT_TRUE(row.is_object()) << deleted.out;
  EXPECT_FALSE(row["size"].get<std::string>().empty());
  EXPECT_FALSE(row["deleted"].get<std::string>().empty());

  Keyboard again;
  auto restored = cli(as_owner({"--json", "restore"}), again);
  ASSERT_EQ(restored.exit_code, 0) << restored.err;
  const auto doc = json_of(restored);
  EXPECT_EQ(doc["ok"], true);
  EXPECT_EQ(doc["files"], Json::array({"合同.doc"}));
  EXPECT_TRUE(row_named(rows(documents), "合同.doc").is_object());
  EXPECT_TRUE(fetch(documents, "合同.doc") == original);

  // Nothing left to restore; a cancelled captcha restores nothing.
  Keyboard third;
  auto nothing = cli(as_owner({"restore"}), third);
  EXPECT_EQ(nothing.exit_code, 0) << nothing.err;
  EXPECT_EQ(nothing.out, "您空间内没有查询到5天内删除的文件。\n");
  Keyboard cancel;
  cancel.cancel_captcha = true;
  EXPECT_EQ(cli(as_owner({"deleted"}), cancel).exit_code, 1);
}

TEST_F(CliFilesTest, DownloadRecordsAcrossPages) {
  const std::string address = row_named(rows(documents), "说明.txt")["address"];
  const std::string rest = address.substr(7);
  httplib::Client c("127.0.0.1", service->port());
  for (int i = 0; i < 44; ++i)
    ASSERT_TRUE(c.Get(rest.substr(rest.find('/')).c_str(), {{"Host", rest.substr(0, rest.find('/'))}}));
  fetch(documents, "预算.xlsx");  // and one through the client

  auto r = owner({"--json", "downloads"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto records = json_of(r);
  ASSERT_TRUE(records.is_array());
  ASSERT_EQ(records.size(), 45u);  // three pages of twenty
  EXPECT_EQ(records[0]["file"], "预算.xlsx");  // newest first
  EXPECT_EQ(records[44]["file"], "说明.txt");
  EXPECT_EQ(records[0]["ip"], "127.0.0.1");
  EXPECT_EQ(records[0]["amount"], "9.00KB");
  std::vector<std::string> keys;
  for (const auto& [key, value] : records[0].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"time", "ip", "file", "amount", "speed", "taken"}));
}

}  // namespace
}  // namespace corvane::test
