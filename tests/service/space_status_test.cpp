#include "service/space_status.h"

#include <gtest/gtest.h>

#include <regex>

#include "app/guarded.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

const std::string TABLE = gbk("12|文档|2|图片|7|a12|");

TEST(TimeOfDayText, NeverPadded) {
  EXPECT_EQ(time_of_day_text({14, 9, 5}), "14:9:5");
  EXPECT_EQ(time_of_day_text({9, 5, 3}), "9:5:3");
  EXPECT_EQ(time_of_day_text({0, 0, 0}), "0:0:0");
  EXPECT_EQ(time_of_day_text({23, 59, 59}), "23:59:59");
}

TEST(DirectoryNameOf, MatchesWholeNumbersOnly) {
  struct Case {
    const char* name;
    std::string number;
    const char* expected;  // UTF-8
  };
  const Case cases[] = {
      {"first group", "12", "文档"},
      // A plain search for "2|" would stop inside "12|" and name 文档.
      {"number that ends another number", "2", "图片"},
      {"last group", "7", "a12"},
      {"number only inside a name", "a12", ""},
      {"unknown number", "99", ""},
      // A plain search for "|" would name the first directory.
      {"empty number", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(directory_name_of(TABLE, c.number), gbk(c.expected));
  }
  EXPECT_EQ(directory_name_of("", "1"), "");
  EXPECT_EQ(directory_name_of("5|", "5"), "");  // a number without its name
  // 翟 is D4 7C: its trail byte is "|" but belongs to the character, not the table.
  EXPECT_EQ(directory_name_of(gbk("3|翟|4|x|"), "4"), "x");
  EXPECT_EQ(directory_name_of(gbk("3|翟|4|x|"), "3"), gbk("翟"));
}

TEST(SpaceUpdateText, CodesInTheirOrderWithTheLocationForFiles) {
  struct Case {
    const char* name;
    std::string record;
    const char* expected;  // UTF-8
  };
  const Case cases[] = {
      {"file deleted", "W-,12;", "14:9:5 删除文件,位于:文档"},
      {"file added", "W+,2;", "14:9:5 新增文件,位于:图片"},
      {"file edited", "W.,7;", "14:9:5 编辑文件,位于:a12"},
      {"directory added", "M+,12;", "14:9:5 新增目录"},
      {"directory edited", "M.", "14:9:5 编辑目录"},
      {"directory deleted", "M-", "14:9:5 删除目录"},
      {"file codes win over directory codes", "M+,12;W-,12;", "14:9:5 删除文件,位于:文档"},
      // The location is the first id of the record, whichever code found it.
      {"location is the first id", "M+,2;W-,12;", "14:9:5 删除文件,位于:图片"},
      {"W- before W+ wherever they stand", "W+,2;W-,12;", "14:9:5 删除文件,位于:图片"},
      {"M. before M-", "M-,1;M.,1;", "14:9:5 编辑目录"},
      {"unknown location ends after the colon", "W.,55;", "14:9:5 编辑文件,位于:"},
      {"no location id", "W+", "14:9:5 新增文件,位于:"},
      {"codes are case-sensitive", "w-,12;m+", ""},
      {"no code", "X,12;", ""},
      {"empty record", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(space_update_text(c.record, TABLE, {14, 9, 5}), gbk(c.expected));
  }
}

TEST(ParseSpaceStatus, ValuesAndMissingMarkers) {
  const std::string home = gbk("<div>空间:<label id=\"kjz1\">100</label>M</div>");
  const std::string frame = "<script>parent.ymbgz('kjz2', '87.5');</script>";
  const std::string online = "var d={zx:\"3\",gx:\"W+,12;\"};";
  SpaceStatus s = parse_space_status(home, frame, online);
  EXPECT_EQ(s.size, "100");
  EXPECT_EQ(s.free, "87.5");
  EXPECT_EQ(s.online, "3");
  EXPECT_EQ(s.change_record, "W+,12;");
  EXPECT_EQ(space_status_text(s), gbk("空间:100M 剩余:87.5M 在线:3人"));

  // Failed requests give empty pages and empty values, and nothing in between.
  s = parse_space_status("", "", "");
  EXPECT_EQ(space_status_text(s), gbk("空间:M 剩余:M 在线:人"));
  EXPECT_EQ(s.change_record, "");
  // A value whose closing marker is missing is empty too.
  s = parse_space_status(gbk("空间:<label id=\"kjz1\">100"), "parent.ymbgz('kjz2', '8",
                         "zx:\"3");
  EXPECT_EQ(space_status_text(s), gbk("空间:M 剩余:M 在线:人"));
}

class SpaceStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.method != "GET") return std::nullopt;
      if (r.target == "/") return home.get();
      if (r.target == "/cx/kj.aspx?dlmc=demo") return frame.get();
      if (r.target == "/C_zxsj.aspx?dlmc=demo") return online.get();
      return std::nullopt;
    });
    before = server.requests().size();
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
  // Read on the server thread.
  Guarded<std::string> home{gbk("<p>空间:<label id=\"kjz1\">500</label>M</p>")};
  Guarded<std::string> frame{"<script>parent.ymbgz('kjz2', '321');</script>"};
  Guarded<std::string> online{"{zx:\"2\",gx:\"W-,12;M+\"}"};
  std::size_t before = 0;
};

TEST_F(SpaceStatusTest, ReadsTheThreePagesInOrder) {
  client.directory_table = TABLE;
  std::string status, update;
  client.read_space_status(status, update);
  EXPECT_EQ(status, gbk("空间:500M 剩余:321M 在线:2人"));

  // The time is the local time of day, unpadded.
  const std::string text = test::utf8(update);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, std::regex(R"((\d+):(\d+):(\d+) (.*))"))) << text;
  for (int g = 1; g <= 3; ++g)
    EXPECT_TRUE(m[g].length() == 1 || m[g].str()[0] != '0') << "padded: " << m[g];
  EXPECT_LT(std::stoi(m[1]), 24);
  EXPECT_LT(std::stoi(m[2]), 60);
  EXPECT_LT(std::stoi(m[3]), 61);
  EXPECT_EQ(m[4], "删除文件,位于:文档");

  auto requests = server.requests();
  ASSERT_EQ(requests.size() - before, 3u);
  const std::string host = "demo." + server.domain();
  EXPECT_EQ(requests[before].target, "/");
  EXPECT_EQ(requests[before + 1].target, "/cx/kj.aspx?dlmc=demo");
  EXPECT_EQ(requests[before + 2].target, "/C_zxsj.aspx?dlmc=demo");
  for (std::size_t k = before; k < requests.size(); ++k) {
    EXPECT_EQ(requests[k].method, "GET");
    EXPECT_EQ(requests[k].host, host);
  }
}

TEST_F(SpaceStatusTest, NoChangeClearsTheNotice) {
  online = "{zx:\"0\",gx:\"\"}";
  std::string status, update = "earlier";
  client.read_space_status(status, update);
  EXPECT_EQ(status, gbk("空间:500M 剩余:321M 在线:0人"));
  EXPECT_EQ(update, "");
}

TEST_F(SpaceStatusTest, FailedPagesLeaveGapsInTheStatus) {
  home = "";
  frame = "";
  online = "";
  std::string status, update = "earlier";
  client.read_space_status(status, update);
  EXPECT_EQ(status, gbk("空间:M 剩余:M 在线:人"));
  EXPECT_EQ(update, "");
}

TEST_F(SpaceStatusTest, WithoutSessionNothingIsSent) {
  client.logged_in = 0;
  std::string status = "old", update = "kept";
  client.read_space_status(status, update);
  EXPECT_EQ(status, gbk("空间:---M 剩余:---M 在线:-人"));
  EXPECT_EQ(status, STATUS_WITHOUT_SESSION);
  EXPECT_EQ(update, "kept");
  EXPECT_EQ(server.requests().size(), before);
}

}  // namespace
}  // namespace corvane
