// The transfer client against servers that break: resets, stalls, lying lengths and
// oversized header blocks. Whatever happens, an existing file survives a failed download,
// the calling thread gets its answer, and every monitor thread ends.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "http/transfer_client.h"
#include "tests/http/transfer_test_support.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

using test::names_in;
using test::pattern_bytes;
using test::ProgressLog;
using test::RawConnection;
using test::RawServer;
using test::TempDir;

const std::string HEAD_10000 = "HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n";

struct BodyFault {
  const char* name;
  std::function<void(RawConnection&)> serve;
};

void PrintTo(const BodyFault& f, std::ostream* os) { *os << f.name; }

class BrokenBody : public testing::TestWithParam<BodyFault> {};

TEST_P(BrokenBody, DownloadFailsAndTheOldFileSurvives) {
  RawServer server(GetParam().serve, 0);
  TempDir dir;
  test::write_file(dir.path() / "keep.bin", "precious");
  ProgressLog log;
  bool sent = false;
  bool received = true;
  // On a thread of its own, as a transfer task runs: it must come back.
  std::thread task([&] {
    TransferClient client;
    if (!client.open("GET", server.base_url() + "/keep.bin")) return;
    client.set_timeouts(300);
    sent = client.send();
    received = client.receive_to_file(dir.str(), "keep.bin", log.callback(), 1);
  });
  task.join();
  EXPECT_TRUE(sent);
  EXPECT_FALSE(received);
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"keep.bin"});  // no temporary left
  EXPECT_EQ(test::read_file(dir.path() / "keep.bin"), "precious");
  ASSERT_TRUE(log.monitors_ended());
  for (const auto& call : log.calls()) EXPECT_LT(call.done, 10000) << "no final report";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenBody,
    testing::Values(
        BodyFault{"ResetMidBody",
                  [](RawConnection& c) {
                    c.write(HEAD_10000 + pattern_bytes(3000));
                    c.pause(50);
                    c.reset();
                  }},
        BodyFault{"ClosedBeforeContentLength",
                  [](RawConnection& c) { c.write(HEAD_10000 + pattern_bytes(3000)); }},
        BodyFault{"StallsMidBody",
                  [](RawConnection& c) {
                    c.write(HEAD_10000 + pattern_bytes(3000));
                    c.pause(600000);  // longer than the test time-out; ends when the server stops
                  }}),
    [](const auto& p) { return std::string(p.param.name); });

struct AnswerFault {
  const char* name;
  std::function<void(RawConnection&)> serve;
};

void PrintTo(const AnswerFault& f, std::ostream* os) { *os << f.name; }

class NoAnswer : public testing::TestWithParam<AnswerFault> {};

TEST_P(NoAnswer, SendFailsWithoutHeadersAndTheMonitorEnds) {
  RawServer server(GetParam().serve, 0);
  ProgressLog log;
  TransferClient client;
  ASSERT_TRUE(client.open("POST", server.base_url() + "/up"));
  ASSERT_TRUE(client.set_timeouts(300));
  EXPECT_FALSE(client.send(pattern_bytes(5000), log.callback(), 9));
  EXPECT_EQ(client.header(""), "");
  EXPECT_EQ(client.response_text(0), "");
  EXPECT_EQ(server.requests().at(0).body, pattern_bytes(5000));
  EXPECT_TRUE(log.monitors_ended());
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoAnswer,
    testing::Values(AnswerFault{"Reset", [](RawConnection& c) { c.reset(); }},
                    AnswerFault{"Closed", [](RawConnection&) {}},
                    // Longer than the test time-out: only the client's stall limit ends it.
                    AnswerFault{"Stalls", [](RawConnection& c) { c.pause(600000); }},
                    AnswerFault{"StallsInsideHeaders",
                                [](RawConnection& c) {
                                  c.write("HTTP/1.1 200 OK\r\nContent-Le");
                                  c.pause(600000);
                                }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(TransferRobustness, RefusedConnectionReportsNothing) {
  int port;
  {
    RawServer gone([](const test::RawRequest&) { return std::string(); });
    port = gone.port();
  }
  ProgressLog log;
  TransferClient client;
  ASSERT_TRUE(client.open("POST", "http://127.0.0.1:" + std::to_string(port) + "/up"));
  EXPECT_FALSE(client.send(pattern_bytes(5000), log.callback(), 0));
  EXPECT_FALSE(client.receive_to_file("/", "x"));
  EXPECT_TRUE(log.monitors_ended());
  EXPECT_TRUE(log.calls().empty());
}

TEST(TransferRobustness, LongerBodyThanContentLengthKeepsTheDeclaredBytes) {
  // HTTP framing ends the body after Content-Length bytes; what follows is not part of it.
  RawServer server([](const test::RawRequest&) {
    return "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n" +
           pattern_bytes(20);
  });
  TempDir dir;
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  ASSERT_TRUE(client.receive_to_file(dir.str(), "f.bin"));
  EXPECT_EQ(test::read_file(dir.path() / "f.bin"), pattern_bytes(10));
}

TEST(TransferRobustness, TargetNameTakenByADirectoryFailsCleanly) {
  RawServer server([](const test::RawRequest&) { return RawServer::response("data"); });
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "x.rar");
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_FALSE(client.receive_to_file(dir.str(), "x.rar"));
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"x.rar"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "x.rar"));
}

// The answer's header block padded to exactly size bytes, final blank line included.
std::string answer_with_block_of(std::size_t size) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-Pad: ";
  std::string tail = "\r\n\r\n";
  return head + std::string(size - head.size() - tail.size(), 'p') + tail + "body";
}

TEST(TransferRobustness, HeaderBlockOverTheLimitFailsTheRequest) {
  struct Case {
    std::size_t size;
    bool ok;
  };
  const Case cases[] = {{5000, true}, {5001, false}, {70000, false}};
  for (const auto& c : cases) {
    std::string answer = answer_with_block_of(c.size);
    RawServer server([answer](const test::RawRequest&) { return answer; });
    TempDir dir;
    test::write_file(dir.path() / "f.bin", "old");
    TransferClient client;
    ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
    EXPECT_EQ(client.send(), c.ok) << c.size;
    EXPECT_EQ(client.header("").size(), c.ok ? c.size : 0u) << c.size;
    EXPECT_EQ(client.receive_to_file(dir.str(), "f.bin"), c.ok) << c.size;
    EXPECT_EQ(test::read_file(dir.path() / "f.bin"), c.ok ? "body" : "old") << c.size;
  }
}

TEST(TransferRobustness, SendOnTheSameRequestStartsOver) {
  std::atomic<int> count{0};
  RawServer server([&count](const test::RawRequest&) {
    int n = ++count;
    return RawServer::response("answer " + std::to_string(n), "X-N: " + std::to_string(n));
  });
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.response_body(), "answer 1");
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.header("X-N"), "2");
  EXPECT_EQ(client.response_body(), "answer 2");
  // A request whose body was never read is dropped by the next send.
  ASSERT_TRUE(client.send());
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.response_body(), "answer 4");
}

}  // namespace
}  // namespace corvane
