#include "service/records.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

#include "app/guarded.h"
#include "app/threads.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

std::string online_row(const std::string& n, const std::string& ip, const std::string& in,
                       const std::string& on) {
  return "<tr><td>" + n + "</td><td>" + ip + "</td><td>" + in + "</td><td align=right>" + on +
         "</td></tr>";
}

std::string download_row(const std::string& time, const std::string& file) {
  return "<tr><td>" + time + "</td><td>10.0.0.1</td><td></td><td>" + file +
         "</td><td align=right>1.5M</td><td align=right>80K/s</td><td align=right>" +
         gbk("19秒") + "</td></tr>";
}

std::string paging(const std::string& arguments) {
  return "<script>D_xzlb_i.clfy('" + arguments + "');</script>";
}

TEST(ParseOnlineList, RowsAndWhatIsSkipped) {
  struct Case {
    const char* name;
    std::string page;
    TextList ips, entered, online;
  };
  const std::string row1 = online_row("1", "1.2.3.*", "12:00", gbk("5分钟"));
  const Case cases[] = {
      {"one row; group 1 is not used", "<table>" + row1 + "</table>", {"1.2.3.*"}, {"12:00"},
       {gbk("5分钟")}},
      {"highlight removed, closing tag kept",
       "<tr><td><font color=blue>2</td><td><font color=blue>9.9.9.9</font></td><td>1:00</td>"
       "<td align=right>2</td>",
       {"9.9.9.9</font>"}, {"1:00"}, {"2"}},
      {"highlight in another case is not removed",
       "<tr><td>2</td><td><FONT COLOR=BLUE>9.9.9.9</td><td>1:00</td><td align=right>2</td>",
       {"<FONT COLOR=BLUE>9.9.9.9"}, {"1:00"}, {"2"}},
      {"tags matched ignoring case", "<TR><TD>1</TD><TD>a</TD><TD>b</TD><TD ALIGN=RIGHT>c</TD>",
       {"a"}, {"b"}, {"c"}},
      {"entities stay as sent", online_row("1", "a&amp;b", "x", "y"), {"a&amp;b"}, {"x"}, {"y"}},
      {"line break inside a row skips it",
       "<tr><td>1</td><td>a</td>\n<td>b</td><td align=right>c</td>" + row1, {"1.2.3.*"},
       {"12:00"}, {gbk("5分钟")}},
      {"other attribute skips the row",
       "<tr><td>1</td><td>a</td><td>b</td><td align=left>c</td></tr>", {}, {}, {}},
      {"no rows", gbk("<p>暂无访客</p>"), {}, {}, {}},
      {"empty page", "", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextList ips{"stale"}, entered{"stale"}, online{"stale", "stale"};
    int pumped = 0;
    EXPECT_EQ(parse_online_list(c.page, ips, entered, online, [&] { ++pumped; }),
              static_cast<int>(c.ips.size()));
    EXPECT_EQ(ips, c.ips);
    EXPECT_EQ(entered, c.entered);
    EXPECT_EQ(online, c.online);
    EXPECT_EQ(pumped, static_cast<int>(c.ips.size()));
  }
}

TEST(DownloadPageCount, ThirdPartOfThePagingCall) {
  struct Case {
    const char* name;
    std::string page;
    std::optional<long long> count;
    int pages;
  };
  const Case cases[] = {
      {"three parts", paging("1,20,3"), 3, 3},
      {"more parts", paging("1,20,4,x,y"), 4, 4},
      {"one page", paging("1,20,1"), 1, 1},
      {"adjacent commas give an empty part", paging("1,,5"), 5, 5},
      {"leading blanks and a plus sign", paging("1,20, +6"), 6, 6},
      {"digits end at the first non-digit", paging("1,20,7pages"), 7, 7},
      {"zero fetches nothing more", paging("1,20,0"), 0, 1},
      {"negative fetches nothing more", paging("1,20,-4"), -4, 1},
      {"no digits reads as zero", paging("1,20,x"), 0, 1},
      {"empty third part before a comma", paging("1,20,,9"), 0, 1},
      {"trailing comma is no part", paging("1,20,"), std::nullopt, 1},
      {"two parts", paging("1,20"), std::nullopt, 1},
      {"empty call", paging(""), std::nullopt, 1},
      {"no call", "<p>records</p>", std::nullopt, 1},
      {"unclosed call", "D_xzlb_i.clfy('1,20,3", std::nullopt, 1},
      {"first call wins", paging("1,20,2") + paging("1,20,9"), 2, 2},
      {"hostile count is capped", paging("1,20,99999999999999999999"), 999999999999999999, 1000},
      {"count just above the cap", paging("1,20,1001"), 1001, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(download_page_count(c.page), c.count);
    EXPECT_EQ(download_pages_to_read(c.page), c.pages);
  }
}

TEST(ParseDownloadRecords, SixCellsPerRowAcrossPages) {
  TextList t{"stale"}, ip, file, amount, speed, taken;
  const std::string pages = "<table>" + download_row("2024-1-1 8:00", gbk("报告.doc")) +
                            "</table>" + paging("1,20,2") + "<table>" +
                            download_row("2024-1-2 9:00", "b.zip") +
                            // a row with its third cell filled is not a record row
                            "<tr><td>x</td><td>y</td><td>z</td><td>f</td><td align=right>1"
                            "</td><td align=right>2</td><td align=right>3</td></table>";
  int pumped = 0;
  EXPECT_EQ(parse_download_records(pages, t, ip, file, amount, speed, taken, [&] { ++pumped; }),
            2);
  EXPECT_EQ(t, (TextList{"2024-1-1 8:00", "2024-1-2 9:00"}));
  EXPECT_EQ(ip, (TextList{"10.0.0.1", "10.0.0.1"}));
  EXPECT_EQ(file, (TextList{gbk("报告.doc"), "b.zip"}));
  EXPECT_EQ(amount, (TextList{"1.5M", "1.5M"}));
  EXPECT_EQ(speed, (TextList{"80K/s", "80K/s"}));
  EXPECT_EQ(taken, (TextList{gbk("19秒"), gbk("19秒")}));
  EXPECT_EQ(pumped, 2);

  EXPECT_EQ(parse_download_records("", t, ip, file, amount, speed, taken), 0);
  for (const TextList* l : {&t, &ip, &file, &amount, &speed, &taken}) EXPECT_TRUE(l->empty());
}

// A logged-in session whose frame answers the record posts from `pages` by the Yz1 field.
class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.method != "POST") return std::nullopt;
      auto f = test::form_fields(r.body);
      if (f[0] == "xszxlb") return online_page.get();
      if (f[0] != "xsdllb") return std::nullopt;
      std::lock_guard lock(mutex);
      auto it = pages.find(f[1]);
      return it == pages.end() ? std::string() : it->second;
    });
    before = server.posts().size();
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  void set_pages(std::map<std::string, std::string> p) {
    std::lock_guard lock(mutex);
    pages = std::move(p);
  }
  std::vector<std::string> new_bodies() const {
    std::vector<std::string> out;
    auto posts = server.posts();
    for (std::size_t k = before; k < posts.size(); ++k) {
      EXPECT_EQ(posts[k].target, "/cx/kj.aspx?dlmc=demo");
      out.push_back(posts[k].body);
    }
    return out;
  }
  int list(TextList& times) {
    return client.list_download_records(times, ips, files, amounts, speeds, taken);
  }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
  // Read on the server thread.
  std::mutex mutex;
  std::map<std::string, std::string> pages;
  Guarded<std::string> online_page;
  std::size_t before = 0;
  TextList ips, files, amounts, speeds, taken;
};

std::string page_body(int p) { return "Yz0=xsdllb&Yz1=" + std::to_string(p) + "&Yz2=&Yz3=&Yz4="; }

TEST_F(RecordsTest, EveryPageInOrder) {
  set_pages({{"1", download_row("t1", "a") + paging("1,20,3")},
             {"2", download_row("t2", "b") + download_row("t3", "c")},
             {"3", download_row("t4", "d")}});
  TextList times{"stale"};
  EXPECT_EQ(list(times), 4);
  EXPECT_EQ(times, (TextList{"t1", "t2", "t3", "t4"}));
  EXPECT_EQ(files, (TextList{"a", "b", "c", "d"}));
  EXPECT_EQ(new_bodies(), (std::vector<std::string>{page_body(1), page_body(2), page_body(3)}));
}

TEST_F(RecordsTest, SinglePageCases) {
  struct Case {
    const char* name;
    std::string first;
    int rows;
  };
  const Case cases[] = {
      {"count of one", download_row("t1", "a") + paging("1,20,1"), 1},
      {"no paging call is the only page", download_row("t1", "a"), 1},
      {"too few parts is the only page", download_row("t1", "a") + paging("1,20"), 1},
      {"count of zero", paging("1,20,0"), 0},
      {"failed first page", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_pages({{"1", c.first}, {"2", download_row("never", "x")}});
    before = server.posts().size();
    TextList times{"stale"};
    EXPECT_EQ(list(times), c.rows);
    EXPECT_EQ(times.size(), static_cast<std::size_t>(c.rows));
    EXPECT_EQ(new_bodies(), std::vector<std::string>{page_body(1)});
  }
}

TEST_F(RecordsTest, AFailedLaterPageAddsNothing) {
  // Page 2 is not served (empty answer); pages 1 and 3 still count.
  set_pages({{"1", download_row("t1", "a") + paging("1,20,3")}, {"3", download_row("t3", "c")}});
  TextList times;
  EXPECT_EQ(list(times), 2);
  EXPECT_EQ(times, (TextList{"t1", "t3"}));
  EXPECT_EQ(new_bodies().size(), 3u);
}

TEST_F(RecordsTest, AHugePageCountStopsAtTheCap) {
  set_pages({{"1", download_row("t1", "a") + paging("1,20,2147483648")},
             {"1000", download_row("t1000", "z")},
             {"1001", download_row("t1001", "never")}});
  TextList times;
  EXPECT_EQ(list(times), 2);
  EXPECT_EQ(times, (TextList{"t1", "t1000"}));
  const auto bodies = new_bodies();
  ASSERT_EQ(bodies.size(), static_cast<std::size_t>(MAX_DOWNLOAD_PAGES));
  EXPECT_EQ(bodies.back(), page_body(MAX_DOWNLOAD_PAGES));
}

TEST_F(RecordsTest, OnlineListPostsAndLetsEventsThroughPerRow) {
  online_page = "<table>" + online_row("1", "1.1.1.*", "8:00", "3") +
                online_row("<font color=blue>2", "<font color=blue>2.2.2.*", "9:00", "1") +
                "</table>";
  std::atomic<int> pumped{0};
  set_message_pump([&] { ++pumped; });
  TextList ip_list{"stale"}, entered, online{"stale"};
  const int rows = client.list_online(ip_list, entered, online);
  set_message_pump({});
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(ip_list, (TextList{"1.1.1.*", "2.2.2.*"}));
  EXPECT_EQ(entered, (TextList{"8:00", "9:00"}));
  EXPECT_EQ(online, (TextList{"3", "1"}));
  EXPECT_EQ(pumped.load(), 2);
  EXPECT_EQ(new_bodies(), std::vector<std::string>{"Yz0=xszxlb&Yz1=&Yz2=&Yz3=&Yz4="});

  online_page = "";
  EXPECT_EQ(client.list_online(ip_list, entered, online), 0);
  EXPECT_TRUE(ip_list.empty() && entered.empty() && online.empty());
}

}  // namespace
}  // namespace corvane
