// The transfer client against a raw loopback server: address parts, the request an
// upload puts on the wire and the progress it reports, downloads into files, and the
// header accessors with their quirks.
#include <gtest/gtest.h>

#include "http/transfer_client.h"
#include "tests/http/transfer_test_support.h"
#include "platform/paths.h"
#include "tests/support/gbk.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

using test::names_in;
using test::pattern_bytes;
using test::ProgressLog;
using test::RawRequest;
using test::RawServer;
using test::TempDir;

// --- address parts -----------------------------------------------------------------------

struct AddressCase {
  const char* name;
  const char* url;
  const char* host;
  long port;
  const char* path;
  bool secure;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class AddressParts : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressParts, SplitsAsOpenConnects) {
  const AddressCase& c = GetParam();
  TransferAddress parts = transfer_address(c.url);
  EXPECT_EQ(parts.host, c.host);
  EXPECT_EQ(parts.port, c.port);
  EXPECT_EQ(parts.path, c.path);
  EXPECT_EQ(parts.secure, c.secure);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressParts,
    testing::Values(
        AddressCase{"HttpsPortAndQuery", "https://Example-Host:8443/a?b=1", "example-host", 8443,
                    "/a?b=1", true},
        AddressCase{"HttpBare", "http://example-host", "example-host", 80, "/", false},
        AddressCase{"SchemeInUpperCase", "HTTPS://h.example/x", "h.example", 443, "/x", true},
        AddressCase{"PathKeepsItsCase", "http://H.Example/A/B?C=D", "h.example", 80,
                    "/A/B?C=D", false},
        AddressCase{"EmptyPortIsDefault", "http://h.example:/x", "h.example", 80, "/x", false},
        AddressCase{"PortOutOfRange", "http://h.example:70000/x", "h.example", -1, "/x", false},
        AddressCase{"NoScheme", "h.example:81/x", "h.example", 81, "/x", false},
        AddressCase{"HttpOnPort443IsNotSecure", "http://h.example:443/", "h.example", 443, "/",
                    false},
        // The host is searched for after the scheme: "p" also occurs in "http".
        AddressCase{"HostInsideScheme", "http://p/x", "p", 80, "/x", false},
        AddressCase{"HostRepeatedInPath", "http://a.b/a.b/c", "a.b", 80, "/a.b/c", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(TransferClientOpen, RefusesAddressesAndMethodsItCannotUse) {
  TransferClient client;
  ASSERT_TRUE(client.available);
  EXPECT_FALSE(client.open("GET", "http://h.example:70000/x"));
  EXPECT_FALSE(client.open("GET", "http:///x"));
  EXPECT_FALSE(client.open("GET", "http://user@h.example/x"));  // not a host name
  EXPECT_FALSE(client.open("GET X", "http://h.example/x"));
  EXPECT_FALSE(client.open("GET\r\nX-Evil: 1", "http://h.example/x"));
  // A failed open leaves nothing to send on, and no session for set_timeouts.
  EXPECT_FALSE(client.send());
  EXPECT_FALSE(client.set_timeouts(1000));
  EXPECT_TRUE(client.open("get", "http://h.example/x"));
  EXPECT_TRUE(client.set_timeouts(1000));
  EXPECT_TRUE(client.close());
  EXPECT_FALSE(client.set_timeouts(1000));
}

TEST(TransferClientOpen, OptionsNeedARequestAndAKnownNumber) {
  TransferClient client;
  EXPECT_FALSE(client.set_option(TransferClient::OPTION_CONNECT_TIMEOUT, 1000));
  EXPECT_FALSE(client.add_header("X-A", "1"));
  EXPECT_FALSE(client.set_timeouts(1000));  // no session before the first open
  ASSERT_TRUE(client.open("GET", "http://h.example/"));
  EXPECT_TRUE(client.set_option(TransferClient::OPTION_CONNECT_TIMEOUT, 1000));
  EXPECT_TRUE(client.set_option(TransferClient::OPTION_DISABLE_FEATURE,
                                TransferClient::DISABLE_REDIRECTS));
  EXPECT_FALSE(client.set_option(31 /* security flags */, 0x3300));
  EXPECT_FALSE(client.set_option(TransferClient::OPTION_REDIRECT_POLICY, 7));
  EXPECT_FALSE(client.add_header("X-A", "1\r\nX-B: 2"));
}

// --- upload --------------------------------------------------------------------------------

TEST(UploadPieces, RemainderFirstThenFullPieces) {
  struct Case {
    std::int64_t length;
    std::vector<std::int64_t> pieces;
  };
  const Case cases[] = {
      {0, {}}, {1, {1}}, {2047, {2047}}, {2048, {2048}}, {2049, {1, 2048}}, {5000, {904, 2048, 2048}},
  };
  for (const auto& c : cases) {
    std::vector<std::int64_t> pieces;
    for (std::int64_t at = 0, n; (n = upload_piece_length(c.length, at)) > 0; at += n)
      pieces.push_back(n);
    EXPECT_EQ(pieces, c.pieces) << "length " << c.length;
  }
}

const std::string MULTIPART_TYPE =
    "multipart/form-data; boundary=---------------------------7de15037c013e";
const std::string SUCCESS_TEXT = "3\xCE\xAA\xC9\xCF\xB4\xAB\xB3\xC9\xB9\xA6";  // 3为上传成功

class Upload : public testing::TestWithParam<std::size_t> {};

TEST_P(Upload, BodyArrivesWholeAndProgressEndsAtTotal) {
  const std::int64_t length = static_cast<std::int64_t>(GetParam());
  RawServer server([](const RawRequest&) { return RawServer::response(SUCCESS_TEXT); });
  std::string body = pattern_bytes(GetParam());
  ProgressLog log;
  {
    TransferClient client;
    ASSERT_TRUE(client.open("POST", server.base_url() + "/?p=03abc0&f=a%20b.txt&t="));
    ASSERT_TRUE(client.add_header("Content-Type", MULTIPART_TYPE));
    ASSERT_TRUE(client.send(body, log.callback(), 42));
    EXPECT_EQ(client.response_text(0), SUCCESS_TEXT);
  }

  ASSERT_EQ(server.request_count(), 1u);
  RawRequest request = server.requests()[0];
  EXPECT_EQ(request.request_line, "POST /?p=03abc0&f=a%20b.txt&t= HTTP/1.1");
  // Only what the caller added goes out, the header exactly as given (no space after
  // the colon): no agent, no Accept, no Expect.
  std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(server.port()),
                                       "Content-Type:" + MULTIPART_TYPE,
                                       "Content-Length: " + std::to_string(length)};
  EXPECT_EQ(request.header_lines, expected);
  EXPECT_EQ(request.body, body);

  ASSERT_TRUE(log.monitors_ended());
  auto calls = log.calls();
  ASSERT_FALSE(calls.empty());
  std::set<std::int64_t> piece_starts;
  for (std::int64_t at = 0, n; (n = upload_piece_length(length, at)) > 0; at += n)
    piece_starts.insert(at);
  // Before the last call, done is the start of a piece (the bytes handed over before
  // it), growing from call to call; the last call reports done = total, once.
  for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
    EXPECT_TRUE(piece_starts.count(calls[i].done)) << calls[i].done;
    EXPECT_GT(calls[i].done, i == 0 ? 0 : calls[i - 1].done);
  }
  EXPECT_EQ(calls.back().done, length);
  for (const auto& call : calls) {
    EXPECT_EQ(call.user, 42);
    EXPECT_EQ(call.total, length);
    EXPECT_NE(call.thread, std::this_thread::get_id());  // the monitor's thread
  }
  // A body that fits in the first piece gives exactly the final call.
  if (length <= 2048) {
    EXPECT_EQ(calls.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Upload, testing::Values(0, 2048, 5000, 300000));

TEST(TransferClientHeaders, LaterAddReplacesAndEmptyValueRemoves) {
  RawServer server([](const RawRequest&) { return RawServer::response("ok"); });
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/h"));
  ASSERT_TRUE(client.add_header("X-One", "1"));
  ASSERT_TRUE(client.add_header("X-Two", "2"));
  ASSERT_TRUE(client.add_header("x-one", "3"));
  ASSERT_TRUE(client.add_header("X-Two", ""));
  ASSERT_TRUE(client.send());
  std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(server.port()),
                                       "x-one:3"};
  EXPECT_EQ(server.requests().at(0).header_lines, expected);
  EXPECT_EQ(server.requests().at(0).request_line, "GET /h HTTP/1.1");
}

TEST(TransferClientHeaders, ServerCredentialsGoOutAsBasic) {
  RawServer server([](const RawRequest&) { return RawServer::response("ok"); });
  TransferClient client;
  EXPECT_TRUE(client.set_credentials("u", "p"));
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_EQ(server.requests().at(0).header("Authorization"), "Basic dTpw");  // u:p
}

TEST(TransferClientProxy, EnvironmentProxyNeverApplies) {
  RawServer server([](const RawRequest&) { return RawServer::response("direct"); });
  test::ScopedEnv a("http_proxy", "http://127.0.0.1:1");
  test::ScopedEnv b("HTTPS_PROXY", "http://127.0.0.1:1");
  test::ScopedEnv c("ALL_PROXY", "http://127.0.0.1:1");
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.response_text(), "direct");
}

TEST(TransferClientProxy, NamedProxyGetsTheAbsoluteAddressAndBasicCredentials) {
  RawServer proxy([](const RawRequest&) { return RawServer::response("via proxy"); });
  TransferClient client;
  client.set_proxy("127.0.0.1:" + std::to_string(proxy.port()), "pu", "pp");
  ASSERT_TRUE(client.open("GET", "http://files.example:8080/d/x.rar"));
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.response_text(), "via proxy");
  ASSERT_EQ(proxy.request_count(), 1u);
  RawRequest request = proxy.requests()[0];
  EXPECT_EQ(request.request_line, "GET http://files.example:8080/d/x.rar HTTP/1.1");
  EXPECT_EQ(request.header("Proxy-Authorization"), "Basic cHU6cHA=");  // pu:pp
}

// --- header accessors ----------------------------------------------------------------------

struct AccessorCase {
  const char* name;
  const char* head;  // header lines of the answer, CR LF after each
  enum { HEADER, LOCATION, COOKIE } what;
  const char* argument;
  bool value_only;
  int trim;
  const char* expected;  // "<block>" = the whole header block
};

void PrintTo(const AccessorCase& c, std::ostream* os) { *os << c.name; }

class HeaderAccessors : public testing::TestWithParam<AccessorCase> {};

TEST_P(HeaderAccessors, ReadTheFinalHeaderBlock) {
  const AccessorCase& c = GetParam();
  std::string head = c.head;
  RawServer server([head](const RawRequest&) {
    return "HTTP/1.1 200 OK\r\n" + head + "Content-Length: 2\r\nConnection: close\r\n\r\nok";
  });
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  std::string block = "HTTP/1.1 200 OK\r\n" + head + "Content-Length: 2\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(client.header(""), block);
  std::string got;
  switch (c.what) {
    case AccessorCase::HEADER: got = client.header(c.argument); break;
    case AccessorCase::LOCATION: got = client.location(); break;
    case AccessorCase::COOKIE: got = client.get_cookie(c.argument, c.value_only, c.trim); break;
  }
  EXPECT_EQ(got, std::string(c.expected) == "<block>" ? block : std::string(c.expected));
}

const char* const COOKIES = "Set-Cookie: a=1; path=/\r\nSet-Cookie: sid=XYZ; HttpOnly\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderAccessors,
    testing::Values(
        AccessorCase{"HeaderValue", "X-Server: raw\r\n", AccessorCase::HEADER, "X-Server", false,
                     0, "raw"},
        AccessorCase{"HeaderInsideAnotherName", "", AccessorCase::HEADER, "Length", false, 0, "2"},
        AccessorCase{"HeaderNameIsCaseSensitive", "", AccessorCase::HEADER, "content-length",
                     false, 0, "<block>"},
        AccessorCase{"HeaderMissingGivesBlock", "", AccessorCase::HEADER, "X-None", false, 0,
                     "<block>"},
        AccessorCase{"HeaderValueStartsTwoAfterColon", "X-Tight:abc\r\n", AccessorCase::HEADER,
                     "X-Tight", false, 0, "bc"},
        AccessorCase{"LocationOfA200", "Location: /next\r\n", AccessorCase::LOCATION, "", false, 0,
                     "/next"},
        AccessorCase{"ContentLocationComesFirst", "Content-Location: /c\r\nLocation: /l\r\n",
                     AccessorCase::LOCATION, "", false, 0, "/c"},
        AccessorCase{"NoLocation", "X-A: 1\r\n", AccessorCase::LOCATION, "", false, 0, ""},
        AccessorCase{"CookiePiece", COOKIES, AccessorCase::COOKIE, "sid", false, 0, "sid=XYZ; "},
        AccessorCase{"CookiePieceTrimmed", COOKIES, AccessorCase::COOKIE, "sid", false, 2,
                     "sid=XYZ"},
        AccessorCase{"CookieValueOnly", COOKIES, AccessorCase::COOKIE, "a", true, 0, "1"},
        AccessorCase{"CookieNotFoundJoinsAll", COOKIES, AccessorCase::COOKIE, "zz", false, 2,
                     "a=1; sid=XYZ"},
        AccessorCase{"CookieTrimLongerThanText", COOKIES, AccessorCase::COOKIE, "a", true, 9, ""},
        // A piece runs to the next ";" wherever it stands, even on a later line.
        AccessorCase{"CookieWithoutAttributes", "Set-Cookie: a=1\r\nSet-Cookie: b=2; path=/\r\n",
                     AccessorCase::COOKIE, "a", true, 0, "1\r\nSet-Cookie: b=2"},
        AccessorCase{"NoCookies", "", AccessorCase::COOKIE, "a", false, 0, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(TransferClientHeaders, RedirectGivesTheFinalAnswersBlock) {
  RawServer server([](const RawRequest& r) {
    if (r.target() == "/a") return RawServer::response("", "Location: /b", "302 Found");
    return RawServer::response("final", "X-Final: yes");
  });
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/a"));
  ASSERT_TRUE(client.send());
  EXPECT_EQ(client.header("X-Final"), "yes");
  EXPECT_EQ(client.header("").substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(client.location(), "");
  EXPECT_EQ(client.response_body(), "final");
  EXPECT_EQ(client.response_body(), "final");  // cached
  EXPECT_EQ(server.request_count(), 2u);
}

TEST(TransferClientHeaders, ResponseTextStopsAtZeroAndDecodesUtf8OnRequest) {
  const std::string body = std::string("\xE7\x9B\xAE\xE5\xBD\x95", 6) + std::string(1, '\0') + "x";
  RawServer server([body](const RawRequest&) { return RawServer::response(body); });
  TransferClient raw;
  ASSERT_TRUE(raw.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(raw.send());
  EXPECT_EQ(raw.response_text(0), "\xE7\x9B\xAE\xE5\xBD\x95");
  TransferClient decoded;
  ASSERT_TRUE(decoded.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(decoded.send());
  EXPECT_EQ(decoded.response_text(1), "\xC4\xBF\xC2\xBC" /* 目录 */);
}

// --- download ------------------------------------------------------------------------------

TEST(Download, StreamsIntoTheNamedFileWithProgressEndingAtTotal) {
  const std::string payload = pattern_bytes(300000);
  RawServer server([&](const RawRequest&) { return RawServer::response(payload); });
  TempDir dir;
  ProgressLog log;
  const std::string name = test::gbk("报告 1.rar");
  {
    TransferClient client;
    ASSERT_TRUE(client.open("GET", server.base_url() + "/d/1"));
    ASSERT_TRUE(client.send());
    ASSERT_TRUE(client.receive_to_file(platform::gbk_from_native(dir.path()), name,
                                       log.callback(), 3));
    EXPECT_EQ(client.response_body(), "");  // streamed, not cached
  }
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"报告 1.rar"});
  EXPECT_EQ(test::read_file(dir.path() / "报告 1.rar"), payload);

  ASSERT_TRUE(log.monitors_ended());
  auto calls = log.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().done, 300000);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].user, 3);
    EXPECT_EQ(calls[i].total, 300000);
    if (i > 0) {
      EXPECT_GT(calls[i].done, calls[i - 1].done);
    }
  }
}

TEST(Download, ReplacesAnEarlierFileOfTheSameName) {
  RawServer server([](const RawRequest&) { return RawServer::response("new content"); });
  TempDir dir;
  test::write_file(dir.path() / "x.rar", "old");
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/x"));
  ASSERT_TRUE(client.send());
  ASSERT_TRUE(client.receive_to_file(dir.str(), "x.rar"));
  EXPECT_EQ(test::read_file(dir.path() / "x.rar"), "new content");
  EXPECT_EQ(names_in(dir.path()).size(), 1u);
}

TEST(Download, NameCannotLeaveTheDirectory) {
  RawServer server([](const RawRequest&) { return RawServer::response("data"); });
  TempDir outer;
  std::filesystem::create_directory(outer.path() / "dl");
  const std::string names[] = {"../escape.txt", "..", "/abs.txt", "C:\\evil.txt", "a/../../b"};
  for (const auto& name : names) {
    TransferClient client;
    ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
    ASSERT_TRUE(client.send());
    EXPECT_TRUE(client.receive_to_file((outer.path() / "dl").string(), name)) << name;
  }
  EXPECT_EQ(names_in(outer.path()), std::set<std::string>{"dl"});
  EXPECT_EQ(names_in(outer.path() / "dl"),
            (std::set<std::string>{".._escape.txt", "__", "_abs.txt", "C__evil.txt", "a_.._.._b"}));
}

TEST(SafeFileName, MapsEveryNameToOneComponentInside) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"report.doc", "report.doc"},
      {"a b.txt", "a b.txt"},
      {"../x", ".._x"},
      {"..\\x", ".._x"},
      {".", "_"},
      {"..", "__"},
      {"", "_"},
      {"dir/sub\\f", "dir_sub_f"},
      {"C:x", "C_x"},
      {"a*b?c\"d<e>f|g", "a_b_c_d_e_f_g"},
      {std::string("a\0b\x1F\x7F", 5), "a_b__"},
      {"name. ", "name__"},
      {"CON", "_CON"},
      {"con.txt", "_con.txt"},
      {"Com1.log", "_Com1.log"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      // Double-byte characters stay whole, also when the trail byte is "\\" or "|".
      {"\xD5\x5C.txt" /* 誠 */, "\xD5\x5C.txt"},
      {"\x83\x7C" /* 億 */, "\x83\x7C"},
      {"\xB1\xA8\xB8\xE6" /* 报告 */ "/x", "\xB1\xA8\xB8\xE6_x"},
  };
  for (const auto& c : cases) EXPECT_EQ(safe_file_name(c.in), c.out) << c.in;
}

TEST(Download, MissingDirectoryCreatesNothing) {
  RawServer server([](const RawRequest&) { return RawServer::response("data"); });
  TempDir dir;
  ProgressLog log;
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_FALSE(client.receive_to_file((dir.path() / "missing").string(), "f.txt", log.callback()));
  EXPECT_TRUE(names_in(dir.path()).empty());
  // The body is still there for another reader.
  EXPECT_EQ(client.response_body(), "data");
  EXPECT_TRUE(log.monitors_ended());
  EXPECT_TRUE(log.calls().empty());
}

struct LengthCase {
  const char* name;
  const char* answer;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

class DownloadLength : public testing::TestWithParam<LengthCase> {};

TEST_P(DownloadLength, WithoutAPositiveContentLengthNothingIsWritten) {
  std::string answer = GetParam().answer;
  RawServer server([answer](const RawRequest&) { return answer; });
  TempDir dir;
  test::write_file(dir.path() / "f.bin", "old");
  ProgressLog log;
  TransferClient client;
  ASSERT_TRUE(client.open("GET", server.base_url() + "/"));
  ASSERT_TRUE(client.send());
  EXPECT_FALSE(client.receive_to_file(dir.str(), "f.bin", log.callback()));
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"f.bin"});
  EXPECT_EQ(test::read_file(dir.path() / "f.bin"), "old");
  EXPECT_TRUE(log.monitors_ended());
  EXPECT_TRUE(log.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DownloadLength,
    testing::Values(
        LengthCase{"Missing", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nbody"},
        LengthCase{"Zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
        LengthCase{"LowerCase",
                   "HTTP/1.1 200 OK\r\ncontent-length: 4\r\nConnection: close\r\n\r\nbody"},
        LengthCase{"Chunked",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                   "4\r\nbody\r\n0\r\n\r\n"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace corvane
