#include <atomic>
#include <random>

#include <gtest/gtest.h>

#include "service/endpoints.h"
#include "service/listing.h"
#include "service/regex_matcher.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

// ---- Page fixtures: only the markers the parsers read. ----

std::string directory_row(const std::string& key, const std::string& name) {
  return "<li id='x" + key + "|r'><table cellspacing=0><tr><td><a href='javascript:;' class='ml'>" +
         name + "</a><label>" + gbk("3个文件") + "</label></td></tr></table></li>";
}

std::string directory_page(const std::string& rows) {
  return "<html><input type=\"hidden\" id=\"ml\" value=\"" + rows + "\"/></html>";
}

std::string file_row(const std::string& element_id, const std::string& address,
                     const std::string& time, const std::string& label) {
  return "<li><img src='/i/f.gif' id=" + element_id + " onclick='xz(this)'><a href='" + address +
         "' title='" + gbk("上传时间:") + time + "' class=wj>" + label + "KB</a></li>";
}

std::string folder(const std::string& block_id, const std::string& files) {
  return "<li><img src='/i/d.gif'><ul id='" + block_id + "'>" + files + "</ul></li>";
}

// rows must start with "<li><img ", which the list marker takes.
std::string files_page(const std::string& rows, const std::string& domain = "corvane.example",
                       const std::string& script = "Q.sc(12,0,'K7x');") {
  return "<html><script>Q.f_s='cv-Up3." + domain + "';" + script +
         "</script><form><input type=\"hidden\" id=\"Yz1\" name=\"Yz1\" value=\"" + rows +
         "\"/></form></html>";
}

// ---- Root directories. ----

TEST(ParseDirectoryList, KeysNamesAndTable) {
  const std::string page = directory_page(directory_row("12_0", gbk("文档")) +
                                          directory_row("15_1", "a|b") + directory_row("7", "c"));
  int rows = 0;
  DirectoryListing d = parse_directory_list(page, [&] { ++rows; });
  EXPECT_EQ(d.keys, (TextList{"12_0", "15_1", "7"}));
  // A "|" in a name comes back as "&", and a key without "_" gives an empty number.
  EXPECT_EQ(d.names, (TextList{gbk("文档"), "a&b", "c"}));
  EXPECT_EQ(d.directory_table, "12|" + gbk("文档") + "|15|a&b||c|");
  EXPECT_EQ(rows, 3);
}

TEST(ParseDirectoryList, TrailBytePipeInANameStays) {
  // 詜 is D4 7C: its trail byte is "|", which is part of the character, not a separator.
  const std::string name = gbk("詜");
  ASSERT_EQ(name, "\xD4\x7C");
  DirectoryListing d = parse_directory_list(directory_page(directory_row("3_0", name)));
  EXPECT_EQ(d.names, TextList{name});
}

TEST(ParseDirectoryList, MissingMarkersGiveNothing) {
  for (const std::string& page : {std::string(), std::string("<html>nothing</html>"),
                                  directory_page("<li id='x1_0|r'><table>broken")}) {
    DirectoryListing d = parse_directory_list(page);
    EXPECT_TRUE(d.keys.empty());
    EXPECT_TRUE(d.names.empty());
    EXPECT_EQ(d.directory_table, "");
  }
}

// ---- A directory's files: the parser alone. ----

TEST(ParseFileList, SubdirectoriesFirstThenFiles) {
  const std::string rows =
      folder("z_12_docs",
             file_row("w_12_1", "/note/fd.htm?http://dl/1", "2024-01-02 10:11", "a.txt 3") +
                 file_row("w_12_2", "http://dl/2", "t2", "b c.txt 40")) +
      folder("z_12_" + gbk("空的"), "") +
      file_row("w_12_3", "http://dl/3", "t3", "x.txt 1") +
      file_row("w_12_4", "/note/fd.htm?http://dl/4", "t4", gbk("报告 终稿.doc 12")) +
      file_row("w_12_5", "http://dl/5", "t5", "y.bin 0");
  int rows_seen = 0;
  FileListing f = parse_file_list(files_page(rows), "12", "corvane", [&] { ++rows_seen; });

  EXPECT_EQ(f.ids, (TextList{"-", "-", "3", "4", "5"}));
  EXPECT_EQ(f.addresses, (TextList{"-", "-", "http://dl/3", "http://dl/4", "http://dl/5"}));
  EXPECT_EQ(f.times, (TextList{"-", "-", "t3", "t4", "t5"}));
  EXPECT_EQ(f.names, (TextList{"docs", gbk("空的"), "x.txt", gbk("报告 终稿.doc"), "y.bin"}));
  EXPECT_EQ(f.sizes, (TextList{"-", "-", "1KB", "12KB", "0KB"}));
  ASSERT_EQ(f.subdirectory_files.size(), 2u);
  EXPECT_EQ(f.subdirectory_files[0],
            "w_12_1|http://dl/1|2024-01-02 10:11|a.txt|3KB=|=w_12_2|http://dl/2|t2|b c.txt|40KB=|=");
  EXPECT_EQ(f.subdirectory_files[1], "");
  EXPECT_EQ(f.upload_code, "K7x");
  EXPECT_EQ(f.upload_server, "up3");
  // Two sub-directory rows, two sub-directory files, one per body, three own files.
  EXPECT_EQ(rows_seen, 2 + 2 + 2 + 3);
}

TEST(ParseFileList, FileLabels) {
  struct Case {
    const char* name;
    std::string label, file_name, size;
  };
  const Case cases[] = {
      {"name, space, size", "a.txt 3", "a.txt", "3KB"},
      {"no space: empty size, whole label as name", "readme", "readme", "KB"},
      {"every space-size goes", "report 7 copy 7", "report copy", "7KB"},
      {"a trailing space: empty size, every space goes", "x y ", "xy", "KB"},
      {"double-byte name", gbk("新 建.txt 5"), gbk("新 建.txt"), "5KB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileListing f =
        parse_file_list(files_page(file_row("w_1_9", "http://dl/9", "t", c.label)), "1", "corvane");
    EXPECT_EQ(f.names, TextList{c.file_name});
    EXPECT_EQ(f.sizes, TextList{c.size});
    EXPECT_EQ(f.ids, TextList{"9"});
  }
}

TEST(ParseFileList, MarkerCases) {
  struct Case {
    const char* name;
    std::string page, directory;
    std::string upload_code, upload_server;
    TextList names;
  };
  const std::string one = file_row("w_1_1", "http://dl/1", "t", "a.txt 1");
  const Case cases[] = {
      {"the upload code follows the first number,0,' anywhere, also inside 112",
       files_page(one, "corvane.example", "Q.a(112,0,'first');Q.b(12,0,'second');"), "12", "first",
       "up3", {"a.txt"}},
      {"no upload code", files_page(one, "corvane.example", ""), "12", "", "up3", {"a.txt"}},
      {"a number whose first digit is the trail byte of a character does not count",
       files_page(one, "corvane.example", "x='\xB0" "12,0,'trail';Q.b(12,0,'real');"), "12", "real",
       "up3", {"a.txt"}},
      {"upload server of another domain label is not found", files_page(one, "other.example"), "12",
       "K7x", "", {"a.txt"}},
      {"no list marker: no rows", "<html>Q.sc(12,0,'K7x');</html>", "12", "K7x", "", {}},
      {"an empty page", "", "12", "", "", {}},
      {"a list without its end marker", files_page(one).substr(0, files_page(one).size() - 20),
       "12", "K7x", "up3", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileListing f = parse_file_list(c.page, c.directory, "corvane");
    EXPECT_EQ(f.upload_code, c.upload_code);
    EXPECT_EQ(f.upload_server, c.upload_server);
    EXPECT_EQ(f.names, c.names);
  }
}

TEST(ParseFileList, HiddenIdPrefixIsRemovedBeforeTheBlockIdIsRead) {
  // Without the removal, the block id would be u_9_old and the name "old".
  const std::string rows = "<li><img src='/i/d.gif'><ul id='u_9_old' id='z_12_docs'></ul></li>";
  FileListing f = parse_file_list(files_page(rows), "12", "corvane");
  EXPECT_EQ(f.names, TextList{"docs"});
  EXPECT_EQ(f.ids, TextList{"-"});
}

TEST(ParseFileList, ABodyThatAlsoOccursElsewhereTakesThatCopyAlong) {
  const std::string inner = file_row("w_1_1", "http://dl/1", "t1", "in.txt 1");
  const std::string rows = folder("z_1_a", inner) +
                           // The same text as the block's body, outside any block.
                           "<li><span id='z_1_a'>" + inner + "</span></li>" +
                           file_row("w_1_2", "http://dl/2", "t2", "own.txt 2");
  FileListing f = parse_file_list(files_page(rows), "1", "corvane");
  EXPECT_EQ(f.names, (TextList{"a", "own.txt"}));
  EXPECT_EQ(f.subdirectory_files, TextList{"w_1_1|http://dl/1|t1|in.txt|1KB=|="});
}

TEST(ParseFileList, FilesBetweenBlocksBelongToTheNextHead) {
  // The head runs from the first "src=" after the previous block, so a file listed between
  // two blocks is part of the second block's head and goes with it; unless an earlier
  // head's text occurs inside that head and cut it apart first.
  struct Case {
    const char* name;
    std::string first_icon, second_icon;
    TextList names;
  };
  const Case cases[] = {
      {"distinct heads", "d1.gif", "d2.gif", {"a", "b", "kept.txt"}},
      {"the first head recurs at the end of the second", "d.gif", "d.gif",
       {"a", "b", "between.txt", "kept.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string rows =
        "<li><img src='/i/" + c.first_icon + "'><ul id='z_1_a'></ul></li>" +
        file_row("w_1_1", "http://dl/1", "t", "between.txt 1") + "<li><img src='/i/" +
        c.second_icon + "'><ul id='z_1_b'></ul></li>" +
        file_row("w_1_2", "http://dl/2", "t", "kept.txt 2");
    FileListing f = parse_file_list(files_page(rows), "1", "corvane");
    EXPECT_EQ(f.names, c.names);
  }
}

// ---- Removing the blocks: the one-pass form against the one-by-one form. ----

std::vector<SubdirectoryBlock> blocks_of(std::string_view list) {
  RegexMatcher m;
  m.create(SUBDIRECTORY_PATTERN, list);
  std::vector<SubdirectoryBlock> blocks;
  for (int k = 1; k <= m.count(); ++k)
    blocks.push_back({m.match_value(k), m.submatch(k, 1), m.submatch(k, 2)});
  return blocks;
}

std::string removed_one_by_one(std::string_view list, const std::vector<SubdirectoryBlock>& blocks) {
  std::vector<std::string_view> texts;
  for (const auto& b : blocks) texts.push_back(b.body);
  for (const auto& b : blocks) texts.push_back(b.head);
  return remove_each_in_order(list, texts);
}

TEST(RemoveSubdirectoryBlocks, AgreesWithOneByOneRemovalOnAwkwardLists) {
  struct Case {
    const char* name;
    std::string list;
    std::string expected;
  };
  const Case cases[] = {
      {"plain blocks", "src=h1<ul b1</ul>xsrc=h2<ul b2</ul>y", "src=<ul </ul>xsrc=<ul </ul>y"},
      {"the same body twice", "src=h<ul b</ul>src=h<ul b</ul>", "src=<ul </ul>src=<ul </ul>"},
      {"a body inside a later body", "src=1<ul b</ul>src=2<ul abc</ul>",
       "src=<ul </ul>src=<ul ac</ul>"},
      {"a body copy outside the blocks", "src=1<ul b</ul> b ", "src=<ul </ul>  "},
      {"a removal joins a later body", "src=1<ul x</ul>src=2<ul  <</ul>", ""},
      {"a head copy in the rest", "src=h<ul b</ul>h", "src=<ul </ul>"},
      {"a head that ends like the block literal", "src=a<<ul b</ul>src=a<ul c</ul>", ""},
      {"empty groups", "src=<ul </ul>src=<ul x</ul>", "src=<ul </ul>src=<ul </ul>"},
      {"letter case of the literals", "SRC=h<UL b</Ul>", "SRC=<UL </Ul>"},
      {"an occurrence on a trail byte is not one", "src=A<ul b</ul>\xB0" "A", "src=<ul </ul>\xB0" "A"},
      {"overlapping copies", "src=h<ul aa</ul>aaa", ""},
      {"no blocks", "src=h nothing here", "src=h nothing here"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto blocks = blocks_of(c.list);
    const std::string reference = removed_one_by_one(c.list, blocks);
    if (!c.expected.empty()) {
      EXPECT_EQ(reference, c.expected);
    }
    EXPECT_EQ(remove_subdirectory_blocks(c.list, blocks), reference);
  }
}

TEST(RemoveSubdirectoryBlocks, AgreesWithOneByOneRemovalOnRandomLists) {
  // Pieces that make blocks, near-blocks, copies of each other, line breaks and
  // double-byte characters (including one whose trail byte is "|" and a lone lead byte).
  const std::vector<std::string> pieces = {
      "src=", "src=", "<ul ", "<ul ", "</ul>", "</ul>", "SRC=", "<UL ", "</UL>", "a", "b",
      "ab", " ", "<", "</", "u", "l", ">", "\n", "\r", "\xB0\xA1", "\xD4\x7C", "\xB0", "'",
      "id='", "gif' id="};
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    std::string list;
    const int n = 1 + static_cast<int>(random() % 40);
    for (int k = 0; k < n; ++k) list += pieces[random() % pieces.size()];
    SCOPED_TRACE(list);
    const auto blocks = blocks_of(list);
    ASSERT_EQ(remove_subdirectory_blocks(list, blocks), removed_one_by_one(list, blocks));
  }
}

// ---- The operations against a loopback space. ----

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.method != "POST") return std::nullopt;
      const auto f = test::form_fields(r.body);
      if (f[0] == "ml_dq") return directories;
      if (f[0] == "kqmmpd") {
        if (f[2] == "secret") unlocked = true;
        return std::string("<script>parent.ok();</script>");
      }
      if (f[0] == "dq") return (locked && !unlocked) ? refused : files;
      return std::nullopt;
    });
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void login_owner() { ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功")); }
  void login_visitor() {
    ASSERT_EQ(client.login("demo", std::nullopt, std::nullopt, 1), gbk("游客身份"));
  }
  // The frame posts after the login.
  std::vector<std::string> bodies() const {
    std::vector<std::string> out;
    for (const auto& r : server.posts())
      if (test::form_fields(r.body)[0] != "gly_dl") out.push_back(r.body);
    return out;
  }

  int list(const std::string& d) {
    return client.list_files(d, ids, addresses, times, names, sizes, subfiles, upload_code);
  }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};

  std::string directories, files;
  std::string refused = "<script>alert('" + gbk("无查看文件列表权限") + "');</script>";
  std::atomic<bool> locked{false}, unlocked{false};

  TextList ids{"stale"}, addresses{"stale"}, times{"stale"}, names{"stale"}, sizes{"stale"},
      subfiles{"stale"};
  std::string upload_code = "keep";
};

TEST_F(ListingTest, ListDirectoriesPostsTheFormAndFillsTheTable) {
  directories = directory_page(directory_row("12_0", gbk("文档")) + directory_row("15_1", "pics"));
  login_owner();
  client.upload_server = std::string("up3");
  TextList keys{"old"}, dir_names{"old"};
  EXPECT_EQ(client.list_directories(keys, dir_names), 2);
  EXPECT_EQ(keys, (TextList{"12_0", "15_1"}));
  EXPECT_EQ(dir_names, (TextList{gbk("文档"), "pics"}));
  EXPECT_EQ(client.directory_table.get(), "12|" + gbk("文档") + "|15|pics|");
  EXPECT_EQ(client.upload_server.get(), "");
  EXPECT_EQ(bodies(), std::vector<std::string>{"Yz0=ml_dq&Yz1=&Yz2=&Yz3=&Yz4="});
}

TEST_F(ListingTest, ListFilesPostsTheDirectoryAndDeliversRowsAndUploadValues) {
  files = files_page(folder("z_12_docs", file_row("w_12_1", "http://dl/1", "t1", "a.txt 3")) +
                         file_row("w_12_2", "http://dl/2", "t2", "b.txt 4"),
                     server.domain());
  login_owner();
  EXPECT_EQ(list("12"), 2);
  EXPECT_EQ(ids, (TextList{"-", "2"}));
  EXPECT_EQ(names, (TextList{"docs", "b.txt"}));
  EXPECT_EQ(addresses, (TextList{"-", "http://dl/2"}));
  EXPECT_EQ(times, (TextList{"-", "t2"}));
  EXPECT_EQ(sizes, (TextList{"-", "4KB"}));
  EXPECT_EQ(subfiles, TextList{"w_12_1|http://dl/1|t1|a.txt|3KB=|="});
  EXPECT_EQ(upload_code, "K7x");
  // The page names "cv-Up3." + the domain; the first label ("corvane") ends the name.
  EXPECT_EQ(client.upload_server.get(), "up3");
  EXPECT_EQ(bodies(), std::vector<std::string>{"Yz0=dq&Yz1=12&Yz2=&Yz3=&Yz4="});
}

TEST_F(ListingTest, NothingIsSentWithoutASessionOrADirectory) {
  TextList keys, dir_names;
  EXPECT_EQ(client.list_directories(keys, dir_names), 0);
  EXPECT_EQ(list("12"), 0);
  login_owner();
  EXPECT_EQ(list(""), 0);
  EXPECT_TRUE(bodies().empty());
  EXPECT_EQ(ids, TextList{"stale"});  // returned before the lists were touched
  EXPECT_EQ(upload_code, "keep");
}

TEST_F(ListingTest, AFailedRequestGivesNoRowsAndEmptyUploadValues) {
  files = "";
  login_owner();
  client.upload_server = std::string("up3");
  EXPECT_EQ(list("12"), 0);
  EXPECT_TRUE(ids.empty());
  EXPECT_TRUE(subfiles.empty());
  EXPECT_EQ(upload_code, "");
  EXPECT_EQ(client.upload_server.get(), "");
}

TEST_F(ListingTest, AnOwnerWhoIsRefusedGetsZeroAndNoDialog) {
  locked = true;
  login_owner();
  EXPECT_EQ(list("12"), 0);
  EXPECT_EQ(prompter.access_password_requests(), 0);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(upload_code, "keep");
  EXPECT_EQ(bodies().size(), 1u);
}

TEST_F(ListingTest, AccessPasswordRoundTrip) {
  struct Case {
    const char* name;
    std::deque<std::string> passwords;
    int result;
    std::vector<std::string> bodies;
  };
  const std::string listing = "Yz0=dq&Yz1=12&Yz2=&Yz3=&Yz4=";
  const Case cases[] = {
      {"cancelled", {}, -2, {listing}},
      {"wrong password", {"nope"}, -1,
       {listing, "Yz0=kqmmpd&Yz1=12&Yz2=nope&Yz3=&Yz4=", listing}},
      {"right password, sent raw", {"secret"}, 1,
       {listing, "Yz0=kqmmpd&Yz1=12&Yz2=secret&Yz3=&Yz4=", listing}},
  };
  files = files_page(file_row("w_12_1", "http://dl/1", "t1", "a.txt 3"), server.domain());
  locked = true;
  login_visitor();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = bodies().size();
    unlocked = false;
    upload_code = "keep";
    prompter.access_passwords = c.passwords;
    EXPECT_EQ(list("12"), c.result);
    const auto all = bodies();
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()), c.bodies);
    if (c.result < 0) {
      EXPECT_TRUE(ids.empty());
      EXPECT_TRUE(names.empty());
      EXPECT_EQ(upload_code, "keep");
    } else {
      EXPECT_EQ(names, TextList{"a.txt"});
      EXPECT_EQ(upload_code, "K7x");
    }
  }
  // The password is not remembered: every refused listing asked again.
  EXPECT_EQ(prompter.access_password_requests(), 3);
}

}  // namespace
}  // namespace corvane
