#pragma once
// What the end-to-end tests of corvane-cli share: the local service in-process on a
// fresh data directory with the demo space (demo / demo), and corvane-cli run against
// it as a child process, with a person at the keyboard who reads captcha pictures and
// types access passwords.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "localservice/local_service.h"
#include "tests/support/process.h"
#include "tests/localservice/service_fixture.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace corvane::test {

// Documents keep their members in the order corvane-cli wrote them.
using Json = nlohmann::ordered_json;

// Answers the prompts of corvane-cli on its standard error: each captcha by reading the
// picture whose path it printed, each access password from a queue ("" or an empty
// queue: an empty line, which cancels).
class Keyboard {
 public:
  int wrong_captchas = 0;  // the first answers given wrong on purpose
  bool cancel_captcha = false;
  std::deque<std::string> access_passwords;

  int captchas() const { return captchas_; }
  int access_prompts() const { return access_; }

  Reply operator()(const std::string&, const std::string& err) {
    static const std::string IMAGE = "captcha: the image is in ";
    static const std::string CAPTCHA_PROMPT = "captcha (4 characters";
    static const std::string ACCESS_PROMPT = "access password (empty line cancels): ";
    Reply reply;
    for (std::size_t at = nth(err, CAPTCHA_PROMPT, captchas_); at != std::string::npos;
         at = nth(err, CAPTCHA_PROMPT, captchas_)) {
      ++captchas_;
      std::string code;
      const std::size_t image = err.rfind(IMAGE, at);
      if (!cancel_captcha && image != std::string::npos) {
        const std::size_t start = image + IMAGE.size();
        code = read_captcha(read_file(err.substr(start, err.find('\n', start) - start)));
        if (wrong_captchas > 0 && !code.empty()) {
          --wrong_captchas;
          code = code[0] == 'A' ? "BBBB" : "AAAA";
        }
      }
      reply.text += code + "\n";
    }
    while (nth(err, ACCESS_PROMPT, access_) != std::string::npos) {
      ++access_;
      std::string p;
      if (!access_passwords.empty()) {
        p = access_passwords.front();
        access_passwords.pop_front();
      }
      reply.text += p + "\n";
    }
    return reply;
  }

 private:
  // The position of the occurrence number n (from 0) of what in text.
  static std::size_t nth(const std::string& text, const std::string& what, int n) {
    std::size_t at = text.find(what);
    for (int i = 0; i < n && at != std::string::npos; ++i) at = text.find(what, at + what.size());
    return at;
  }
  int captchas_ = 0, access_ = 0;
};

class CliServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { start(); }
  void TearDown() override {
    if (service) service->stop();
  }

  void start() {
    LocalService::Options options;
    options.data_dir = data.str();
    options.seed_demo = true;
    std::string error;
    service = LocalService::start(options, &error);
    ASSERT_TRUE(service) << error;
  }
  // Stops the service and starts it again on the same data directory (on a new port).
  void restart() {
    service->stop();
    service.reset();
    start();
  }

  std::vector<std::string> command(const std::vector<std::string>& args) const {
    std::vector<std::string> full = {CORVANE_CLI_PATH,  "--domain",         service->domain(),
                                     "--main-host",     service->main_host(), "--shortener-host",
                                     service->shortener_host()};
    full.insert(full.end(), args.begin(), args.end());
    return full;
  }
  std::vector<std::string> environment() const {
    // No proxy or domain from the environment may leak into the run; captcha pictures go
    // to a directory of the test.
    return {"http_proxy=http://127.0.0.1:9", "CORVANE_DOMAIN=", "CORVANE_MAIN_HOST=",
            "CORVANE_SHORTENER_HOST=", "TMPDIR=" + pictures.str()};
  }

  ProcessResult cli(const std::vector<std::string>& args, const std::string& input = "") const {
    return run_process(command(args), input, environment());
  }
  ProcessResult cli(const std::vector<std::string>& args, Keyboard& keyboard) const {
    return run_interactive(command(args), environment(),
                           [&](const std::string& out, const std::string& err) { return keyboard(out, err); });
  }
  static std::vector<std::string> as_owner(std::vector<std::string> args) {
    args.insert(args.begin(), {"--account", "demo", "--password", "demo"});
    return args;
  }
  static std::vector<std::string> as_visitor(std::vector<std::string> args) {
    args.insert(args.begin(), {"--account", "demo", "--visitor"});
    return args;
  }
  ProcessResult owner(const std::vector<std::string>& args, const std::string& input = "") const {
    return cli(as_owner(args), input);
  }
  ProcessResult visitor(const std::vector<std::string>& args, const std::string& input = "") const {
    return cli(as_visitor(args), input);
  }

  // The standard output of a --json run as a document; a test failure when it is none.
  static Json json_of(const ProcessResult& r) {
    Json doc = Json::parse(r.out, nullptr, false);
    EXPECT_FALSE(doc.is_discarded()) << r.out << r.err;
    return doc;
  }
  // The owner's listing of place (JSON rows), or of the root directories for "".
  Json rows(const std::string& place) const {
    auto r = owner(place.empty() ? std::vector<std::string>{"--json", "dirs"}
                                 : std::vector<std::string>{"--json", "ls", place});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return json_of(r);
  }
  // The number of the root directory named name (UTF-8); "" when there is none.
  std::string directory(const std::string& name) const {
    for (const auto& d : rows(""))
      if (d["name"] == name) return d["number"];
    return {};
  }
  // The row named name in a listing; null when there is none.
  static Json row_named(const Json& listing, const std::string& name) {
    for (const auto& r : listing)
      if (r["name"] == name) return r;
    return nullptr;
  }

  TempDir data, pictures, files;
  std::unique_ptr<LocalService> service;
};

}  // namespace corvane::test
