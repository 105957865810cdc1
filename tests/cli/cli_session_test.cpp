// corvane-cli against the local service: logging in (captcha included), visitors and
// protected directories, usage errors, and telling a refusal from a network failure.
#include <gtest/gtest.h>

#include "tests/cli/cli_service_fixture.h"

namespace corvane::test {
namespace {

using CliSessionTest = CliServiceTest;

TEST_F(CliSessionTest, WrongPasswordThenCaptchaThenRight) {
  auto wrong = cli({"--account", "demo", "--password", "nope", "login"});
  EXPECT_EQ(wrong.exit_code, 1) << wrong.err;
  EXPECT_EQ(wrong.out, "密码输入不正确\n");

  // The service now wants a captcha: the picture's path is on standard error, the answer
  // goes to standard input. A wrong answer is told and a new picture follows.
  Keyboard keyboard;
  keyboard.wrong_captchas = 1;
  auto right = cli({"--account", "demo", "--password", "demo", "login"}, keyboard);
  EXPECT_EQ(right.exit_code, 0) << right.err;
  EXPECT_EQ(right.out, "登录成功\n");
  EXPECT_EQ(keyboard.captchas(), 2);
  EXPECT_NE(right.err.find("验证码不准确"), std::string::npos) << right.err;

  // Past a good login the captcha is no longer asked for.
  auto again = owner({"login"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.out, "登录成功\n");
}

TEST_F(CliSessionTest, CancelledCaptchaEndsTheLogin) {
  ASSERT_EQ(cli({"--account", "demo", "--password", "nope", "login"}).exit_code, 1);
  Keyboard keyboard;
  keyboard.cancel_captcha = true;
  auto r = cli(as_owner({"dirs"}), keyboard);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("放弃登录"), std::string::npos) << r.err;
  // The picture file is gone once answered.
  EXPECT_TRUE(std::filesystem::is_empty(pictures.path()));
}

TEST_F(CliSessionTest, VisitorOpensProtectedDirectoryWithItsPassword) {
  auto dirs = visitor({"--json", "dirs"});
  ASSERT_EQ(dirs.exit_code, 0) << dirs.err;
  const auto listing = json_of(dirs);
  const auto secret = row_named(listing, "私密");
  ASSERT_TRUE(secret.is_object()) << dirs.out;
  EXPECT_EQ(secret["encrypted"], true);
  EXPECT_EQ(row_named(listing, "文档")["encrypted"], false);
  EXPECT_EQ(secret["key"], secret["number"].get<std::string>() + "_1");
  const std::string number = secret["number"];

  struct Case {
    const char* name;
    std::string input;
    int exit_code;
    const char* told;  // on standard error
  };
  const Case cases[] = {
      {"right password", "1234\n", 0, ""},
      {"wrong password", "0000\n", 1, "访问密码错误"},
      {"cancelled", "\n", 1, "操作已取消"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = visitor({"--json", "ls", number}, c.input);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_NE(r.err.find("access password"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.told), std::string::npos) << r.err;
    const auto doc = json_of(r);
    if (c.exit_code == 0) {
      ASSERT_TRUE(doc.is_array());
      ASSERT_EQ(doc.size(), 1u);
      EXPECT_EQ(doc[0]["name"], "日记.txt");
      EXPECT_EQ(doc[0]["kind"], "file");
    } else {
      EXPECT_EQ(doc["ok"], false);
      EXPECT_EQ(doc["exit"], c.exit_code);
    }
  }
  // The owner is never asked.
  auto owner_ls = owner({"ls", number});
  EXPECT_EQ(owner_ls.exit_code, 0) << owner_ls.err;
  EXPECT_NE(owner_ls.out.find("日记.txt"), std::string::npos);
  EXPECT_EQ(owner_ls.err.find("access password"), std::string::npos);
}

TEST_F(CliSessionTest, VisitorsAreRefusedTheOwnersCommands) {
  for (const char* command : {"downloads", "deleted", "restore"}) {
    SCOPED_TRACE(command);
    auto r = visitor({command});
    EXPECT_EQ(r.exit_code, 1) << r.err;
  }
  // The service itself refuses a visitor's changes.
  auto r = visitor({"mkdir", "x"});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("目录创建失败"), std::string::npos) << r.err;
  EXPECT_EQ(directory("x"), "");
}

TEST_F(CliSessionTest, RefusalsAndNetworkFailuresHaveTheirOwnStatus) {
  // A space that does not exist: the service answers, and says no.
  auto ghost = cli({"--account", "ghost", "--password", "x", "dirs"});
  EXPECT_EQ(ghost.exit_code, 1) << ghost.err;
  auto ghost_visitor = cli({"--account", "ghost", "--visitor", "login"});
  EXPECT_EQ(ghost_visitor.exit_code, 1) << ghost_visitor.err;
  EXPECT_EQ(ghost_visitor.out, "账号不存在\n");
  // Things the listing does not have.
  EXPECT_EQ(owner({"ls", "999"}).exit_code, 1);
  EXPECT_EQ(owner({"get", directory("文档"), "nothing.txt"}).exit_code, 1);

  // Nothing listens any more: every command ends with 3, login included.
  service->stop();
  for (auto args : std::vector<std::vector<std::string>>{
           as_owner({"login"}), as_visitor({"login"}), as_owner({"dirs"}), as_visitor({"--json", "status"})}) {
    SCOPED_TRACE(args.back());
    auto r = cli(args);
    EXPECT_EQ(r.exit_code, 3) << r.out << r.err;
    EXPECT_NE(r.err.find("no answer from the service"), std::string::npos) << r.err;
  }
  auto doc = json_of(cli(as_owner({"--json", "dirs"})));
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["exit"], 3);
}

TEST_F(CliSessionTest, ServiceThatGoesAwayMidSessionIsANetworkFailure) {
  // The shell keeps its login; the service stops after the first listing.
  bool started = false, stopped = false;
  auto r = run_interactive(command(as_owner({"shell"})), environment(),
                           [&](const std::string& out, const std::string&) -> Reply {
                             if (!started) {
                               started = true;
                               return {"dirs\n"};
                             }
                             if (!stopped && out.find("私密") != std::string::npos) {
                               stopped = true;
                               service->stop();
                               return {"ls 1\n", true};
                             }
                             return {};
                           });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(r.exit_code, 3) << r.err;
}

TEST_F(CliSessionTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"ls"},
      {"ls", "abc"},
      {"ls", "1", "2"},
      {"get", "1"},
      {"get", "1", "a.txt", "-o"},
      {"get", "1", "a.txt", "--bogus", "x"},
      {"put", "1"},
      {"rm", "1"},
      {"rmdir", "1/sub"},
      {"mkdir"},
      {"mkdir", ""},
      {"edit-dir", "1"},
      {"rename", "1", "a"},
      {"rename", "1", "a", "b", "--to"},
      {"edit-subdir", "1", "a"},
      {"register", "a", "b"},
      {"link", "1"},
      {"dirs", "extra"},
      {"status", "extra"},
      {"shell", "extra"},
      {"frobnicate"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
    auto r = owner(args);
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // Without an account nothing can log in.
  EXPECT_EQ(cli({"dirs"}).exit_code, 2);
}

TEST_F(CliSessionTest, HelpNamesEveryCommand) {
  auto r = cli({"--help"});
  ASSERT_EQ(r.exit_code, 0);
  for (const char* name : {"login", "dirs", "ls", "get", "put", "rm", "rmdir", "mkdir", "edit-dir",
                           "rename", "edit-subdir", "status", "online", "downloads", "deleted",
                           "restore", "register", "link", "shell"})
    EXPECT_NE(r.out.find(std::string("\n  ") + name + " "), std::string::npos) << name;
  EXPECT_NE(r.out.find("3 network failure"), std::string::npos);
}

}  // namespace
}  // namespace corvane::test
