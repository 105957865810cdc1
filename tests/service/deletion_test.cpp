#include "service/deletion.h"

#include <gtest/gtest.h>

#include "app/guarded.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "tests/support/gbk.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/scripted_space.h"

namespace corvane {
namespace {

using test::gbk;

const std::string DONE = "<script>parent.Q.f_s='1';parent.sx();</script>";

// A logged-in owner session whose frame answers the delete posts with `answer`.
class DeletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_endpoints(default_endpoints(server.domain()));
    ASSERT_EQ(client.login("demo", std::string("pw")), gbk("登录成功"));
    server.set_handler([this](const test::ScriptedRequest& r) -> std::optional<std::string> {
      if (r.method != "POST" || test::form_fields(r.body)[0] == "gly_dl") return std::nullopt;
      return answer.get();
    });
    posts_before = server.posts().size();
  }
  void TearDown() override { set_endpoints(default_endpoints()); }

  std::vector<std::string> new_bodies() const {
    std::vector<std::string> out;
    auto posts = server.posts();
    for (std::size_t k = posts_before; k < posts.size(); ++k) {
      EXPECT_EQ(posts[k].target, "/cx/kj.aspx?dlmc=demo");
      out.push_back(posts[k].body);
    }
    return out;
  }

  test::ScriptedSpaceServer server;
  SessionState state;
  test::ScriptedPrompter prompter;
  ServiceClient client{state, prompter};
  Guarded<std::string> answer{DONE};  // read on the server thread
  std::size_t posts_before = 0;
};

TEST(DeleteKind, SubDirectoryWheneverTheIdHoldsZUnderscore) {
  EXPECT_EQ(delete_kind("w_123"), "w");
  EXPECT_EQ(delete_kind("z_45_docs_i"), "z");
  // A file id that itself holds "z_" is sent as a sub-directory, as the service expects.
  EXPECT_EQ(delete_kind("w_12z_3"), "z");
  EXPECT_EQ(delete_kind(""), "w");
  EXPECT_EQ(delete_kind("Z_1"), "w");
}

TEST_F(DeletionTest, DeleteFileBodies) {
  struct Case {
    const char* name;
    std::string id, directory, body;
  };
  const Case cases[] = {
      {"file", "w_123", "45", "Yz0=scjl&Yz1=w&Yz2=w_123&Yz3=45&Yz4="},
      {"sub-directory", "z_45_docs_i", "45", "Yz0=scjl&Yz1=z&Yz2=z_45_docs_i&Yz3=45&Yz4="},
      {"file id holding z_", "w_9z_1", "45", "Yz0=scjl&Yz1=z&Yz2=w_9z_1&Yz3=45&Yz4="},
      {"Chinese sub-directory name goes out as raw GBK", gbk("z_45_资料_i"), "45",
       gbk("Yz0=scjl&Yz1=z&Yz2=z_45_资料_i&Yz3=45&Yz4=")},
      // Raw, "&Yz3=7" would end the delete id at "z_45_a" and name another item.
      {"form delimiters in a name are escaped", "z_45_a&Yz3=7+%_i", "45",
       "Yz0=scjl&Yz1=z&Yz2=z_45_a%26Yz3%3D7%2B%25_i&Yz3=45&Yz4="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posts_before = server.posts().size();
    EXPECT_TRUE(client.delete_file(c.id, c.directory));
    EXPECT_EQ(new_bodies(), std::vector<std::string>{c.body});
  }
}

TEST_F(DeletionTest, DeleteDirectoryBodies) {
  EXPECT_TRUE(client.delete_directory("45"));
  // An empty number still posts, with every argument field empty.
  EXPECT_TRUE(client.delete_directory(""));
  EXPECT_EQ(new_bodies(), (std::vector<std::string>{"Yz0=scml&Yz1=45&Yz2=&Yz3=&Yz4=",
                                                    "Yz0=scml&Yz1=&Yz2=&Yz3=&Yz4="}));
}

TEST_F(DeletionTest, OnlyTheSuccessMarkerCounts) {
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
  };
  const Case cases[] = {
      {"marker after other text", gbk("<p>已删除</p>") + DONE, true},
      {"marker in another letter case", "<script>parent.q.f_S='1';</script>", false},
      {"a refusal", gbk("<script>alert('无权操作');</script>"), false},
      {"empty answer", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    answer = c.answer;
    EXPECT_EQ(client.delete_file("w_1", "2"), c.ok);
    EXPECT_EQ(client.delete_directory("2"), c.ok);
  }
}

TEST_F(DeletionTest, FailedRequestIsFalse) {
  std::string dead;
  {
    test::ScriptedSpaceServer gone;
    dead = gone.domain();
  }
  client.frame_url = "http://demo." + dead + "/cx/kj.aspx?dlmc=demo";
  EXPECT_FALSE(client.delete_file("w_1", "2"));
  EXPECT_FALSE(client.delete_directory("2"));
}

}  // namespace
}  // namespace corvane
