// The main host through the client: back-end login with its captcha, the files deleted
// within five days and their recovery, and the registration of new spaces.
#include <gtest/gtest.h>

#include "tests/localservice/service_fixture.h"

namespace corvane::test {
namespace {

class ServiceBackendTest : public LocalServiceTest {
 protected:
  std::string number(ServiceClient& c, const std::string& utf8_name) {
    TextList keys, names;
    c.list_directories(keys, names);
    int i = index_of(names, gbk(utf8_name));
    return i < 0 ? std::string() : keys[static_cast<std::size_t>(i)].substr(0, keys[static_cast<std::size_t>(i)].find('_'));
  }
  std::map<std::string, std::string> rows(ServiceClient& c, const std::string& directory) {
    TextList ids, addresses, times, names, sizes, subs;
    std::string code;
    c.list_files(directory, ids, addresses, times, names, sizes, subs, code);
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < names.size(); ++i) out[names[i]] = ids[i];
    return out;
  }

  SessionState state;
  ReadingPrompter prompter;
};

TEST_F(ServiceBackendTest, DeletedFilesAreListedAndRestored) {
  auto c = owner(state, prompter);
  const std::string documents = number(*c, "文档");
  auto before = rows(*c, documents);
  ASSERT_TRUE(c->delete_file("w_" + before[gbk("合同.doc")], documents));
  ASSERT_TRUE(c->delete_file("z_" + documents + "_" + gbk("2023年") + "_i", documents));

  ServiceClient recovery(state, prompter);
  TextList names, sizes, deleted;
  prompter.wrong_answers = 1;
  EXPECT_EQ(recovery.list_deleted_files(names, sizes, deleted), gbk("您空间内共有3个5天内删除的文件"));
  EXPECT_EQ(recovery.backend_logged_in.get(), 1);
  EXPECT_EQ(prompter.purposes(), std::vector<std::string>(2, CAPTCHA_BACKEND_LOGIN));
  EXPECT_EQ(prompter.messages(), std::vector<std::string>{gbk("验证码不正确，请重新输入。")});
  ASSERT_EQ(names.size(), 3u);
  EXPECT_NE(std::find(names.begin(), names.end(), gbk("合同.doc")), names.end());
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), "24KB"), sizes.end());
  EXPECT_EQ(deleted[0].size(), 19u);

  EXPECT_EQ(recovery.restore_deleted_files(), gbk("已成功恢复3个文件。"));
  EXPECT_EQ(rows(*c, documents), before);
  EXPECT_EQ(recovery.restore_deleted_files(), gbk("您空间内没有查询到5天内删除的文件。"));
}

TEST_F(ServiceBackendTest, DeletedDirectoryComesBackWithItsFiles) {
  auto c = owner(state, prompter);
  const std::string software = number(*c, "软件");
  auto before = rows(*c, software);
  ASSERT_TRUE(c->delete_directory(software));
  ServiceClient recovery(state, prompter);
  TextList names, sizes, deleted;
  recovery.list_deleted_files(names, sizes, deleted);
  EXPECT_EQ(names.size(), before.size());
  EXPECT_EQ(recovery.restore_deleted_files(), gbk("已成功恢复4个文件。"));
  EXPECT_EQ(number(*c, "软件"), software);
  EXPECT_EQ(rows(*c, software), before);
}

TEST_F(ServiceBackendTest, FilesDeletedMoreThanFiveDaysAgoAreGone) {
  auto c = owner(state, prompter);
  const std::string documents = number(*c, "文档");
  auto before = rows(*c, documents);
  ASSERT_TRUE(c->delete_file("w_" + before[gbk("合同.doc")], documents));
  clock.advance(5 * 24 * 3600 + 1);
  ServiceClient recovery(state, prompter);
  TextList names, sizes, deleted;
  EXPECT_EQ(recovery.list_deleted_files(names, sizes, deleted), gbk("您空间内没有查询到5天内删除的文件。"));
  EXPECT_TRUE(names.empty());
  // The contents are removed from the data directory as well.
  restart();
  std::size_t blobs = 0;
  for (const auto& e : std::filesystem::directory_iterator(data.path() / "files")) {
    (void)e;
    ++blobs;
  }
  EXPECT_EQ(blobs, 16u);  // the demo's 17 files but the purged one
}

TEST_F(ServiceBackendTest, WrongPasswordGivesNoDeletedFiles) {
  auto c = owner(state, prompter);
  state.set_login_password("wrong");
  ServiceClient recovery(state, prompter);
  TextList names, sizes, deleted;
  // The client takes any answer but the captcha's as a login; the page then refuses.
  EXPECT_EQ(recovery.list_deleted_files(names, sizes, deleted), gbk("请先登录空间后台"));
  EXPECT_TRUE(names.empty());
}

TEST_F(ServiceBackendTest, CancelledCaptchaLogsNothingIn) {
  ServiceClient recovery(state, prompter);
  state.set_account_name("demo");
  prompter.cancel_captcha = true;
  EXPECT_FALSE(recovery.backend_login());
  EXPECT_EQ(recovery.backend_logged_in.get(), 0);
}

TEST_F(ServiceBackendTest, RegistrationCreatesASpace) {
  ServiceClient registration(state, prompter);
  prompter.wrong_answers = 1;
  EXPECT_EQ(registration.register_space("alice2", "p&w=1", "alice@example.com"),
            gbk("恭喜你 Corvane盘空间注册成功！ 空间账号：alice2  空间密码：p&w=1"));
  EXPECT_EQ(prompter.purposes(), std::vector<std::string>(2, CAPTCHA_REGISTRATION));

  clear_cookie_store();
  ServiceClient c(state, prompter);
  // The password went in raw, "&" and "=" included, and logs in as typed.
  EXPECT_EQ(c.login("alice2", std::string("p&w=1")), gbk("登录成功"));
  TextList keys, names;
  EXPECT_EQ(c.list_directories(keys, names), 0);
  EXPECT_TRUE(c.create_directory(gbk("我的文件"), ""));
  EXPECT_EQ(c.list_directories(keys, names), 1);
}

TEST_F(ServiceBackendTest, RegistrationRefusals) {
  struct Case {
    const char* account;
    const char* password;
    const char* email;
    const char* alert;  // UTF-8
  };
  const Case cases[] = {
      {"demo", "pw", "a@b.cn", "该空间账号已被注册，请换一个"},
      {"www", "pw", "a@b.cn", "该空间账号已被注册，请换一个"},
      {"ab", "pw", "a@b.cn", "空间账号只能由3到20位小写字母或数字组成，并以字母开头"},
      {"Bob", "pw", "a@b.cn", "空间账号只能由3到20位小写字母或数字组成，并以字母开头"},
      {"cv-x", "pw", "a@b.cn", "空间账号只能由3到20位小写字母或数字组成，并以字母开头"},
      {"bobby", "pw", "not-an-address", "电子邮箱格式不正确"},
      {"bobby", "", "a@b.cn", "密码长度应为1到32位"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.account);
    ServiceClient registration(state, prompter);
    EXPECT_EQ(registration.register_space(c.account, c.password, c.email), gbk(c.alert));
  }
  prompter.cancel_captcha = true;
  ServiceClient registration(state, prompter);
  EXPECT_EQ(registration.register_space("carol", "pw", "c@d.cn"), "");
}

}  // namespace
}  // namespace corvane::test
