// corvane-service as its own process: it says where it listens on its first line,
// serves, and stops cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "tests/support/gbk.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace corvane::test {
namespace {

// A running corvane-service; killed when the test ends early.
struct ServiceProcess {
  pid_t pid = -1;
  int out = -1;
  ~ServiceProcess() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (out >= 0) close(out);
  }
  void start(const std::vector<std::string>& args) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<char*> argv;
    std::vector<std::string> all = {CORVANE_SERVICE_PATH};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    out = fds[0];
  }
  std::string first_line() {
    std::string line;
    char c;
    while (read(out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  int stop(int signal) {
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST(ServiceProcess, SaysWhereItListensServesAndStopsOnSigterm) {
  TempDir data;
  ServiceProcess p;
  p.start({"--data", data.str(), "--seed-demo", "--domain", "disk.localhost"});
  const std::string line = p.first_line();
  std::smatch m;
  ASSERT_TRUE(std::regex_match(line, m, std::regex(R"(listening on 127\.0\.0\.1:(\d+) domain disk\.localhost:(\d+))")))
      << line;
  EXPECT_EQ(m[1], m[2]);
  const int port = std::stoi(m[1]);

  httplib::Client c("127.0.0.1", port);
  auto r = c.Get("/", {{"Host", "demo.disk.localhost:" + std::to_string(port)}});
  ASSERT_TRUE(r);
  EXPECT_NE(r->body.find("id=\"frxcx\" src=\"http://demo.disk.localhost:"), std::string::npos);
  r = c.Get("/register.aspx", {{"Host", "www.disk.localhost:" + std::to_string(port)}});
  ASSERT_TRUE(r);
  EXPECT_NE(r->body.find("id=\"__VIEWSTATE\" value=\""), std::string::npos);
  EXPECT_EQ(p.stop(SIGTERM), 0);
}

TEST(ServiceProcess, RefusesBadArguments) {
  TempDir data;
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--port", "1"},
      {"--data", data.str(), "--port", "many"},
      {"--data", data.str(), "--port", "70000"},
      {"--data", data.str(), "--bogus"},
      {"--data"},
  };
  for (const auto& args : cases) {
    std::vector<std::string> argv = {CORVANE_SERVICE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = run_process(argv);
    EXPECT_EQ(r.exit_code, 2) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(r.err.empty());
  }
}

}  // namespace
}  // namespace corvane::test
