// corvane-cli against the local service: registering a space, the shell on one login
// with the status notices of its changes, and a restart of the service that keeps
// everything.
#include <gtest/gtest.h>

#include "tests/cli/cli_service_fixture.h"

namespace corvane::test {
namespace {

using CliSpaceTest = CliServiceTest;

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(CliSpaceTest, RegistrationThenLoginToTheNewSpace) {
  Keyboard keyboard;
  keyboard.wrong_captchas = 1;
  auto r = cli({"register", "newbie", "secret", "new@example.com"}, keyboard);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "恭喜你 Corvane盘空间注册成功！ 空间账号：newbie  空间密码：secret\n");
  EXPECT_EQ(keyboard.captchas(), 2);
  EXPECT_NE(r.err.find("验证码不正确，请重新输入。"), std::string::npos) << r.err;

  auto login = cli({"--account", "newbie", "--password", "secret", "login"});
  EXPECT_EQ(login.exit_code, 0) << login.err;
  EXPECT_EQ(login.out, "登录成功\n");
  auto dirs = cli({"--json", "--account", "newbie", "--password", "secret", "dirs"});
  EXPECT_EQ(dirs.exit_code, 0) << dirs.err;
  EXPECT_EQ(json_of(dirs), Json::array());

  // The same name again is the service's refusal; a cancelled captcha registers nothing.
  Keyboard second;
  auto taken = cli({"--json", "register", "newbie", "other", "x@example.com"}, second);
  EXPECT_EQ(taken.exit_code, 1) << taken.err;
  EXPECT_EQ(json_of(taken)["ok"], false);
  Keyboard cancel;
  cancel.cancel_captcha = true;
  auto cancelled = cli({"register", "another", "pw", "a@example.com"}, cancel);
  EXPECT_EQ(cancelled.exit_code, 1);
  EXPECT_NE(cancelled.err.find("放弃注册"), std::string::npos) << cancelled.err;
  EXPECT_EQ(cli({"--account", "another", "--password", "pw", "login"}).exit_code, 1);
}

TEST_F(CliSpaceTest, ShellKeepsOneLoginAndHearsOfEachChangeOnce) {
  const std::string documents = directory("文档");
  write_file(files.path() / "新 文件.txt", "hello\n");
  const std::string script =
      "status\n"
      "mkdir 通知\n"
      "status\n"
      "status\n"
      "cd " + documents + "\n"
      "put \"" + (files.path() / "新 文件.txt").string() + "\"\n"
      "status\n"
      "ls\n"
      "cd 2023年\n"
      "get 会议记录.txt -o '" + files.str() + "'\n"
      "cd ..\n"
      "rm \"新 文件.txt\"\n"
      "cd /\n"
      "ls\n"
      "help\n"
      "quit\n"
      "status\n";  // after quit: never read
  auto r = owner({"shell"}, script);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto lines = lines_of(r.out);
  // Two of the four status lines come with a notice: none before the first change, and
  // each change is told once.
  EXPECT_EQ(count_of(r.out, "空间:1000M"), 4u) << r.out;
  EXPECT_EQ(count_of(r.out, " 新增目录"), 1u) << r.out;
  EXPECT_EQ(count_of(r.out, " 新增文件,位于:文档"), 1u) << r.out;
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("空间:", 0), 0u);
  EXPECT_EQ(lines[1], "目录创建成功");
  EXPECT_NE(r.out.find("新 文件.txt: 文件上传完成"), std::string::npos);
  EXPECT_NE(r.out.find("\tnotes.txt\n"), std::string::npos);  // ls inside the directory
  EXPECT_NE(r.out.find("文件删除成功"), std::string::npos);
  EXPECT_NE(r.out.find("\t通知\n"), std::string::npos);  // ls at the top
  EXPECT_NE(r.out.find("quit"), std::string::npos);     // the help text
  EXPECT_FALSE(read_file(files.path() / "会议记录.txt").empty());
  EXPECT_EQ(row_named(rows(documents), "新 文件.txt"), nullptr);
}

TEST_F(CliSpaceTest, ShellAsksForTheCaptchaOnceForTheWholeSession) {
  ASSERT_EQ(cli({"--account", "demo", "--password", "nope", "login"}).exit_code, 1);
  Keyboard keyboard;
  bool sent = false;
  auto r = run_interactive(command(as_owner({"shell"})), environment(),
                           [&](const std::string& out, const std::string& err) {
                             Reply reply = keyboard(out, err);
                             if (!sent && keyboard.captchas() == 1 && !reply.text.empty()) {
                               sent = true;
                               reply.text += "ls\ncd 1\nls\nstatus\n";
                               reply.close = true;
                             }
                             return reply;
                           });
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(keyboard.captchas(), 1);
  EXPECT_NE(r.out.find("\t私密\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\t说明.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("空间:"), std::string::npos) << r.out;
}

TEST_F(CliSpaceTest, ShellCommandsThatFailLeaveTheSessionGoing) {
  auto r = owner({"shell"}, "cd 999\nget x\nls\ncd 1/无此目录\nmkdir\nfrobnicate\n\"unterminated\nls\n");
  // The shell ends with the status of its last command.
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(count_of(r.out, "\t私密\n"), 2u) << r.out;  // both listings at the top
  EXPECT_NE(r.err.find("no directory 999"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("inside a directory"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("unknown command frobnicate"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("unterminated quote"), std::string::npos) << r.err;
  EXPECT_EQ(owner({"shell"}, "cd 999\n").exit_code, 1);
}

TEST_F(CliSpaceTest, RestartKeepsEverything) {
  const std::string documents = directory("文档");
  const std::string bytes(100000, '\x5C');  // GBK trail-byte value, as content
  write_file(files.path() / "重启.bin", bytes);
  ASSERT_EQ(owner({"put", documents, (files.path() / "重启.bin").string(), "--subdir", "保存"}).exit_code, 0);
  ASSERT_EQ(owner({"mkdir", "锁", "--password", "k"}).exit_code, 0);
  ASSERT_EQ(owner({"rm", documents, "notes.txt"}).exit_code, 0);
  {
    TempDir out;
    ASSERT_EQ(owner({"get", documents, "说明.txt", "-o", out.str()}).exit_code, 0);
  }
  const auto before_dirs = rows("");
  const auto before_files = rows(documents);

  restart();

  EXPECT_EQ(rows(""), before_dirs);
  // The addresses name the new port; everything else is as it was.
  auto after_files = rows(documents);
  ASSERT_EQ(after_files.size(), before_files.size());
  for (std::size_t i = 0; i < after_files.size(); ++i) {
    EXPECT_EQ(after_files[i]["name"], before_files[i]["name"]);
    EXPECT_EQ(after_files[i]["id"], before_files[i]["id"]);
    EXPECT_EQ(after_files[i]["size"], before_files[i]["size"]);
    EXPECT_EQ(after_files[i]["time"], before_files[i]["time"]);
  }
  TempDir out;
  ASSERT_EQ(owner({"get", documents + "/保存", "重启.bin", "-o", out.str()}).exit_code, 0);
  EXPECT_TRUE(read_file(out.path() / "重启.bin") == bytes);
  EXPECT_EQ(visitor({"ls", directory("锁")}, "k\n").exit_code, 0);
  auto records = owner({"--json", "downloads"});
  ASSERT_EQ(records.exit_code, 0);
  EXPECT_EQ(json_of(records).size(), 2u);
  Keyboard keyboard;
  auto deleted = cli(as_owner({"--json", "deleted"}), keyboard);
  ASSERT_EQ(deleted.exit_code, 0) << deleted.err;
  EXPECT_TRUE(row_named(json_of(deleted), "notes.txt").is_object()) << deleted.out;
}

}  // namespace
}  // namespace corvane::test
