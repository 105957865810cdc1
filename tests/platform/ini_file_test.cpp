#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

class IniFileTest : public ::testing::Test {
 protected:
  fs::path file() const { return dir_.path() / "cv.ini"; }
  std::string gbk_path() const { return gbk_from_native(file()); }
  std::string read(std::string_view section, std::string_view key, std::size_t size = 10240) {
    return read_profile_string(gbk_path(), section, key, size);
  }
  bool write(std::string_view section, std::string_view key, std::string_view value) {
    return write_profile_string(gbk_path(), section, key, value);
  }
  unsigned mode() const {
    struct stat st {};
    if (::stat(file().c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
  }
  // Everything in the directory besides cv.ini: a failed or finished write leaves no
  // temporary file behind.
  std::size_t other_entries() const {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      if (e.path().filename() != "cv.ini") ++n;
    return n;
  }

  test::TempDir dir_;
};

struct ReadCase {
  const char* name;
  std::string content;
  std::string section;
  std::string key;
  std::size_t buffer_size;
  std::string expected;
};

class IniReadTest : public IniFileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniReadTest, ReadsValue) {
  const ReadCase& c = GetParam();
  write_file(file(), c.content);
  EXPECT_EQ(read(c.section, c.key, c.buffer_size), c.expected);
}

const ReadCase READ_CASES[] = {
    {"plain", "[corv512]\r\nuser=alice\r\npass=pw\r\n", "corv512", "pass", 10240, "pw"},
    {"names_ignore_ascii_case", "[CORV512]\r\nUser=alice\r\n", "Corv512", "uSER", 10240, "alice"},
    {"lf_line_ends", "[corv512]\nuser=alice\npass=pw\n", "corv512", "user", 10240, "alice"},
    {"last_line_without_end", "[corv512]\r\nuser=alice", "corv512", "user", 10240, "alice"},
    {"value_and_key_trimmed", "[corv512]\r\n  user \t=  alice \t\r\n", "corv512", "user", 10240,
     "alice"},
    {"header_with_blanks", "  [ corv512 ]  \r\nuser=alice\r\n", "corv512", "user", 10240, "alice"},
    {"double_quotes_removed_blanks_kept", "[s]\r\nk=\" a b \"\r\n", "s", "k", 10240, " a b "},
    {"single_quotes_removed", "[s]\r\nk='ab'\r\n", "s", "k", 10240, "ab"},
    {"only_one_pair_removed", "[s]\r\nk=\"\"ab\"\"\r\n", "s", "k", 10240, "\"ab\""},
    {"unmatched_quotes_kept", "[s]\r\nk=\"ab'\r\n", "s", "k", 10240, "\"ab'"},
    {"lone_quote_kept", "[s]\r\nk=\"\r\n", "s", "k", 10240, "\""},
    {"value_with_equals", "[s]\r\nk=a=b\r\n", "s", "k", 10240, "a=b"},
    {"empty_value", "[s]\r\nk=\r\n", "s", "k", 10240, ""},
    {"missing_key", "[s]\r\nother=1\r\n", "s", "k", 10240, ""},
    {"missing_section", "[t]\r\nk=1\r\n", "s", "k", 10240, ""},
    {"key_of_other_section", "[t]\r\nk=1\r\n[s]\r\nj=2\r\n", "s", "k", 10240, ""},
    {"key_before_any_section", "k=0\r\n[s]\r\nj=2\r\n", "s", "k", 10240, ""},
    {"second_section_of_file", "[t]\r\nk=1\r\n[s]\r\nk=2\r\n", "s", "k", 10240, "2"},
    {"first_of_duplicate_keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", 10240, "1"},
    {"comment_is_not_a_key", "[s]\r\n;k=1\r\nk=2\r\n", "s", "k", 10240, "2"},
    {"line_without_equals_ignored", "[s]\r\nk\r\nk=2\r\n", "s", "k", 10240, "2"},
    {"empty_file", "", "s", "k", 10240, ""},
    {"cut_to_buffer_minus_one", "[s]\r\nk=abcdef\r\n", "s", "k", 4, "abc"},
    {"buffer_of_one", "[s]\r\nk=abcdef\r\n", "s", "k", 1, ""},
    {"buffer_of_zero", "[s]\r\nk=abcdef\r\n", "s", "k", 0, ""},
    {"cut_after_quotes_removed", "[s]\r\nk=\"abcdef\"\r\n", "s", "k", 4, "abc"},
    // 表 (B1 ED) would straddle the limit: it is dropped whole, not cut in half.
    {"cut_never_splits_a_character", "[s]\r\nk=a\xB1\xED\r\n", "s", "k", 3, "a"},
    {"gbk_value", "[s]\r\nk=\xC4\xBF\xC2\xBC\r\n" /* 目录 */, "s", "k", 10240, "\xC4\xBF\xC2\xBC"},
    // 乤 (81 61) and 丄 (81 41) differ only in a trail byte that looks like "a" / "A".
    {"trail_byte_not_case_folded", "[s]\r\n\x81\x61=wrong\r\n\x81\x41=right\r\n" /* 乤, 丄 */, "s",
     "\x81\x41", 10240, "right"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniReadTest, ::testing::ValuesIn(READ_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(IniFileTest, MissingFileReadsEmpty) {
  EXPECT_EQ(read("corv512", "user"), "");
  EXPECT_FALSE(fs::exists(file()));
}

struct WriteCase {
  const char* name;
  std::string before;  // "" with exists = false: no file
  bool exists;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

class IniWriteTest : public IniFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, RewritesOnlyTheKeyLine) {
  const WriteCase& c = GetParam();
  if (c.exists) write_file(file(), c.before);
  ASSERT_TRUE(write(c.section, c.key, c.value));
  EXPECT_EQ(read_file(file()), c.after);
  EXPECT_EQ(read(c.section, c.key), c.value);
  EXPECT_EQ(other_entries(), 0u);
}

const WriteCase WRITE_CASES[] = {
    {"creates_file", "", false, "corv512", "user", "alice", "[corv512]\r\nuser=alice\r\n"},
    {"empty_value_writes_key", "", false, "corv512", "pass", "", "[corv512]\r\npass=\r\n"},
    {"replaces_value_keeps_everything_else",
     "; remembered login\r\n[other]\r\nuser=keep\r\n\r\n[corv512]\r\nuser=alice\r\npass=pw\r\n"
     "[last]\r\nx = 1 \r\n",
     true, "corv512", "user", "",
     "; remembered login\r\n[other]\r\nuser=keep\r\n\r\n[corv512]\r\nuser=\r\npass=pw\r\n"
     "[last]\r\nx = 1 \r\n"},
    {"matching_ignores_case_keeps_header", "[CORV512]\r\nUSER=alice\r\n", true, "corv512", "user",
     "bob", "[CORV512]\r\nuser=bob\r\n"},
    {"new_key_after_last_line_of_section",
     "[corv512]\r\nuser=alice\r\n; note\r\n\r\n[other]\r\na=1\r\n", true, "corv512", "pass", "pw",
     "[corv512]\r\nuser=alice\r\n; note\r\npass=pw\r\n\r\n[other]\r\na=1\r\n"},
    {"new_key_in_empty_section", "[corv512]\r\n[other]\r\n", true, "corv512", "user", "a",
     "[corv512]\r\nuser=a\r\n[other]\r\n"},
    {"new_key_in_last_section_without_line_end", "[corv512]\r\nuser=alice", true, "corv512", "pass",
     "pw", "[corv512]\r\nuser=alice\r\npass=pw\r\n"},
    {"new_section_at_end", "[other]\r\na=1\r\n", true, "corv512", "user", "a",
     "[other]\r\na=1\r\n[corv512]\r\nuser=a\r\n"},
    {"new_section_after_last_line_without_end", "[other]\r\na=1", true, "corv512", "user", "a",
     "[other]\r\na=1\r\n[corv512]\r\nuser=a\r\n"},
    {"new_section_in_empty_file", "", true, "corv512", "user", "a", "[corv512]\r\nuser=a\r\n"},
    {"lf_lines_kept_written_line_crlf", "[corv512]\nuser=alice\npass=pw\n# tail\n", true, "corv512",
     "user", "bob", "[corv512]\nuser=bob\r\npass=pw\n# tail\n"},
    {"only_first_duplicate_replaced", "[s]\r\nk=1\r\nk=2\r\n", true, "s", "k", "3",
     "[s]\r\nk=3\r\nk=2\r\n"},
    {"blank_padded_value_quoted", "", false, "s", "k", " pw ", "[s]\r\nk=\" pw \"\r\n"},
    {"quoted_value_quoted_again", "", false, "s", "k", "\"pw\"", "[s]\r\nk=\"\"pw\"\"\r\n"},
    {"single_quoted_value_quoted", "", false, "s", "k", "'pw'", "[s]\r\nk=\"'pw'\"\r\n"},
    {"inner_quote_not_quoted", "", false, "s", "k", "p\"w", "[s]\r\nk=p\"w\r\n"},
    {"gbk_value", "", false, "corv512", "pass", "\xC3\xDC\xC2\xEB" /* 密码 */,
     "[corv512]\r\npass=\xC3\xDC\xC2\xEB\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniWriteTest, ::testing::ValuesIn(WRITE_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(IniFileTest, RefusesTextsThatWouldBreakTheFile) {
  const std::string before = "[corv512]\r\nuser=alice\r\n";
  write_file(file(), before);
  struct {
    std::string section, key, value;
  } bad[] = {
      {"corv512", "user", "a\r\n[corv512]\r\nuser=evil"},
      {"corv512", "user", "a\nb"},
      {"corv512", "user", "a\rb"},
      {"corv512", "us=er", "x"},
      {"corv512", "us\ner", "x"},
      {"corv]512", "user", "x"},
      {"", "user", "x"},
      {"corv512", "", "x"},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(write(b.section, b.key, b.value)) << b.section << "/" << b.key;
  }
  EXPECT_EQ(read_file(file()), before);
  EXPECT_EQ(other_entries(), 0u);
}

TEST_F(IniFileTest, NewFileIsOwnerOnly) {
  ASSERT_TRUE(write("corv512", "pass", "secret"));
  EXPECT_EQ(mode(), 0600u);
}

TEST_F(IniFileTest, ReplacedFileIsOwnerOnlyEvenWhenTheOldOneWasNot) {
  write_file(file(), "[corv512]\r\npass=old\r\n");
  ASSERT_EQ(::chmod(file().c_str(), 0644), 0);
  ASSERT_TRUE(write("corv512", "pass", "secret"));
  EXPECT_EQ(mode(), 0600u);
  EXPECT_EQ(read("corv512", "pass"), "secret");
}

TEST_F(IniFileTest, HardLinkedFileIsReplacedNotWrittenThrough) {
  // Another name for the same file (a link planted next to ours) keeps the old bytes.
  write_file(file(), "[corv512]\r\npass=old\r\n");
  fs::path other = dir_.path() / "other.ini";
  fs::create_hard_link(file(), other);
  ASSERT_TRUE(write("corv512", "pass", "secret"));
  EXPECT_EQ(read_file(other), "[corv512]\r\npass=old\r\n");
  EXPECT_EQ(read_file(file()), "[corv512]\r\npass=secret\r\n");
}

TEST_F(IniFileTest, SymbolicLinkIsNeitherReadNorFollowed) {
  fs::path target = dir_.path() / "target.ini";
  write_file(target, "[corv512]\r\nuser=planted\r\n");
  fs::create_symlink(target, file());
  EXPECT_EQ(read("corv512", "user"), "");
  EXPECT_FALSE(write("corv512", "user", "alice"));
  EXPECT_EQ(read_file(target), "[corv512]\r\nuser=planted\r\n");
  EXPECT_TRUE(fs::is_symlink(file()));
}

TEST_F(IniFileTest, FileOfAnotherUserIsNeitherReadNorReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand a file to another user";
  const std::string planted = "[corv512]\r\nuser=planted\r\n";
  write_file(file(), planted);
  ASSERT_EQ(::chown(file().c_str(), 65534, 65534), 0);
  EXPECT_EQ(read("corv512", "user"), "");
  EXPECT_FALSE(write("corv512", "user", "alice"));
  EXPECT_EQ(read_file(file()), planted);
  EXPECT_EQ(other_entries(), 0u);
}

TEST_F(IniFileTest, UnwritableDirectoryFailsSilently) {
  std::string path = gbk_from_native(dir_.path() / "missing-dir" / "cv.ini");
  EXPECT_FALSE(write_profile_string(path, "corv512", "user", "alice"));
  EXPECT_EQ(read_profile_string(path, "corv512", "user", 10240), "");
}

TEST_F(IniFileTest, DirectoryInPlaceOfTheFileFailsSilently) {
  fs::create_directory(file());
  EXPECT_FALSE(write("corv512", "user", "alice"));
  EXPECT_EQ(read("corv512", "user"), "");
  EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(IniFileTest, GbkNamedDirectory) {
  // The path is a GBK text: 目录 must reach the file system as the same characters.
  fs::path sub = dir_.path() / fs::path(u8"目录");
  fs::create_directory(sub);
  std::string path = gbk_from_native(dir_.path()) + "/\xC4\xBF\xC2\xBC/cv.ini";
  ASSERT_TRUE(write_profile_string(path, "corv512", "user", "alice"));
  EXPECT_EQ(read_file(sub / "cv.ini"), "[corv512]\r\nuser=alice\r\n");
  EXPECT_EQ(read_profile_string(path, "corv512", "user", 10240), "alice");
}

TEST_F(IniFileTest, RoundTripsAwkwardValues) {
  const std::string values[] = {"",     " ",       "  lead", "trail  ", "\"q\"", "'q'",
                                "\"",   "a=b;c#d", "\t",     "x\"",     "\xB1\xED" /* 表 */,
                                "\x83\x7C" /* 億 */};
  for (const auto& v : values) {
    ASSERT_TRUE(write("corv512", "pass", v)) << v;
    EXPECT_EQ(read("corv512", "pass"), v) << v;
  }
  EXPECT_EQ(other_entries(), 0u);
}

}  // namespace
}  // namespace corvane::platform
