// The service's own decoding of what clients send: forms in a fixed field order, the
// page script's escape(), the upload form, and which names may be stored.
#include <gtest/gtest.h>

#include "localservice/web.h"
#include "tests/support/gbk.h"

namespace corvane::local {
namespace {

using test::gbk;

TEST(OrderedForm, ValuesMayHoldAmpersandsAndEqualsSigns) {
  const std::vector<std::string> names = {"Yz0", "Yz1", "Yz2", "Yz3", "Yz4"};
  struct Case {
    const char* name;
    std::string body;
    bool ok;
    std::vector<std::string> values;
  };
  const Case cases[] = {
      {"plain", "Yz0=dq&Yz1=12&Yz2=&Yz3=&Yz4=", true, {"dq", "12", "", "", ""}},
      {"raw password with & and =", "Yz0=gly_dl&Yz1=p&w=1&Yz2=&Yz3=&Yz4=", true, {"gly_dl", "p&w=1", "", "", ""}},
      {"percent escapes and plus", "Yz0=xzml&Yz1=%C4%BF%C2%BC+a&Yz2=&Yz3=x%7Cy&Yz4=011000", true,
       {"xzml", gbk("目录") + " a", "", "x|y", "011000"}},
      {"a lone percent stays", "Yz0=a&Yz1=50%&Yz2=%zz&Yz3=%4&Yz4=", true, {"a", "50%", "%zz", "%4", ""}},
      {"raw GBK bytes", "Yz0=xgsj&Yz1=z_1_" + gbk("新目录") + "_i&Yz2=&Yz3=&Yz4=", true,
       {"xgsj", "z_1_" + gbk("新目录") + "_i", "", "", ""}},
      {"empty", "", false, {}},
      {"missing last field", "Yz0=a&Yz1=&Yz2=&Yz3=", false, {}},
      {"out of order", "Yz1=&Yz0=a&Yz2=&Yz3=&Yz4=", false, {}},
      {"something in front", "x=1&Yz0=a&Yz1=&Yz2=&Yz3=&Yz4=", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto form = ordered_form(c.body, names);
    ASSERT_EQ(form.has_value(), c.ok);
    if (!c.ok) continue;
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ((*form)[names[i]], c.values[i]) << names[i];
  }
}

TEST(ScriptUnescape, UndoesTheScriptEscapeIntoGbk) {
  struct Case {
    const char* escaped;
    std::optional<std::string> gbk_text;
  };
  const Case cases[] = {
      {"a%20b.txt", std::string("a b.txt")},
      {"%u540D.txt", gbk("名.txt")},
      {"it%u2019s", gbk("it’s")},
      {"%E9t%E9", gbk("été")},
      {"", std::string()},
      {"%u12", std::nullopt},
      {"%G0", std::nullopt},
      {"50%", std::nullopt},
      {"\xC4\xBF", std::nullopt},  // raw bytes never come out of escape()
  };
  for (const Case& c : cases) EXPECT_EQ(script_unescape(c.escaped), c.gbk_text) << c.escaped;
}

TEST(UploadBody, FindsTheFilePart) {
  const std::string type = "multipart/form-data; boundary=XyZ";
  const std::string tail = "\r\n--XyZ--\r\nContent-Disposition: form-data; name=\"Upload\"\r\n\r\nSubmit Query\r\n--XyZ--";
  const std::string head = "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a b.txt\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  struct Case {
    const char* name;
    std::string body, content_type;
    std::optional<std::string> content;
  };
  const Case cases[] = {
      {"the client's form", head + "hello" + tail, type, std::string("hello")},
      {"empty file", head + tail, type, std::string()},
      {"file holding the delimiter", head + "a\r\n--XyZ--b" + tail, type, std::string("a\r\n--XyZ--b")},
      {"a standard form", "--XyZ\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n1\r\n" + head + "hi\r\n--XyZ--\r\n",
       type, std::string("hi")},
      {"quoted boundary", head + "q" + tail, "multipart/form-data; boundary=\"XyZ\"", std::string("q")},
      {"no closing delimiter", head + "hello", type, std::nullopt},
      {"other boundary", head + "hello" + tail, "multipart/form-data; boundary=Other", std::nullopt},
      {"no file part", "--XyZ\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n1\r\n--XyZ--", type, std::nullopt},
      {"not multipart", head + "hello" + tail, "application/x-www-form-urlencoded", std::nullopt},
      {"empty", "", type, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto part = parse_upload_body(c.body, c.content_type);
    ASSERT_EQ(part.has_value(), c.content.has_value());
    if (!part) continue;
    EXPECT_EQ(std::string(part->content), *c.content);
    EXPECT_EQ(part->filename, "a b.txt");
  }
}

TEST(Names, OnlyThoseThePagesCanCarry) {
  struct Case {
    std::string name;
    bool ok;
  };
  const Case cases[] = {
      {"a.txt", true},        {gbk("报告 第2版.doc"), true}, {"it's", true},
      {"", false},            {std::string(101, 'a'), false}, {"a/b", false},
      {"a\\b", false},        {"a\"b", false},               {"a<b", false},
      {"a|b", false},         {"a:b", false},                {"a\tb", false},
      {" a", false},          {"a ", false},                 {"\xC4", false},  // cut GBK character
      {"\xC4\x7F", false},
  };
  for (const Case& c : cases) EXPECT_EQ(valid_name(c.name), c.ok) << c.name;
}

TEST(Cookies, ValueByName) {
  EXPECT_EQ(cookie_value("a=1; ASP.NET_SessionId=xyz; b=2", "ASP.NET_SessionId"), "xyz");
  EXPECT_EQ(cookie_value("ASP.NET_SessionId=", "ASP.NET_SessionId"), "");
  EXPECT_EQ(cookie_value("xASP.NET_SessionId=1", "ASP.NET_SessionId"), "");
  EXPECT_EQ(cookie_value("", "a"), "");
}

TEST(HostName, WithoutPortAndCase) {
  EXPECT_EQ(host_name("Demo.Corvane.LocalHost:8080"), "demo.corvane.localhost");
  EXPECT_EQ(host_name("a.b."), "a.b");
  EXPECT_EQ(host_name(""), "");
}

}  // namespace
}  // namespace corvane::local
