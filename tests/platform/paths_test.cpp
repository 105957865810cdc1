#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

// 誠 is D5 5C: its trail byte is a backslash. 億 is 83 7C, 表 is B1 ED.
#define CHENG "\xD5\x5C"

struct PathCase {
  const char* name;
  std::string path;
  std::string expected;
};

std::string case_name(const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; }

class ExtensionTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExtensionTest, FindsExtension) {
  EXPECT_EQ(path_find_extension(GetParam().path), GetParam().expected);
}

const PathCase EXTENSION_CASES[] = {
    {"simple", "a.txt", ".txt"},
    {"last_dot_wins", "archive.tar.gz", ".gz"},
    {"upper_case_kept", "\xB1\xED.JPG" /* 表.JPG */, ".JPG"},
    {"none", "README", ""},
    {"empty", "", ""},
    {"dot_only", "file.", "."},
    {"leading_dot", ".hidden", ".hidden"},
    {"dot_in_directory_backslash", "C:\\dir.d\\file", ""},
    {"dot_in_directory_slash", "dir.d/file", ""},
    {"full_path", "C:\\dir.d\\name.exe", ".exe"},
    {"space_before_dot", "my file.txt", ".txt"},
    {"space_after_dot_resets", "file.my doc", ""},
    {"trail_backslash_is_no_separator", "a.b" CHENG "c", ".b" CHENG "c"},
    {"extension_of_gbk_name", CHENG ".txt", ".txt"},
    {"gbk_extension", "a.\xB1\xED", ".\xB1\xED"},
    {"lone_lead_byte_at_end", "a.\xB1", ".\xB1"},
    {"stops_at_zero", std::string("a.txt\0.exe", 10), ".txt"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExtensionTest, ::testing::ValuesIn(EXTENSION_CASES), case_name);

class FileNameTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(FileNameTest, FindsFileName) {
  EXPECT_EQ(path_find_file_name(GetParam().path), GetParam().expected);
}

const PathCase FILE_NAME_CASES[] = {
    {"windows_path", "C:\\\xD4\xC6\xB4\xE6\xB4\xA2_Downloads\\a.txt" /* C:\云存储_Downloads\a.txt */,
     "a.txt"},
    {"posix_path", "/home/u/a b.txt", "a b.txt"},
    {"mixed_separators", "C:\\dir/sub\\x.bin", "x.bin"},
    {"bare_name", "a.txt", "a.txt"},
    {"empty", "", ""},
    {"drive_relative", "C:a.txt", "a.txt"},
    {"trailing_separator_ignored", "C:\\dir\\", "dir\\"},
    {"doubled_separator", "a\\\\b", "b"},
    {"root_only", "C:\\", "C:\\"},
    {"separator_only", "\\", "\\"},
    {"gbk_name", "dir\\" CHENG ".txt", CHENG ".txt"},
    {"trail_backslash_is_no_separator", CHENG "abc", CHENG "abc"},
    {"trail_backslash_inside_path", "d\\" CHENG "x\\" CHENG "y", CHENG "y"},
    {"trail_bar", "d\\\x83\x7C" /* 億 */, "\x83\x7C"},
    {"stops_at_zero", std::string("d\\a\0\\b", 6), "a"},
};

INSTANTIATE_TEST_SUITE_P(Cases, FileNameTest, ::testing::ValuesIn(FILE_NAME_CASES), case_name);

TEST(PathsTest, IsDirectory) {
  test::TempDir dir;
  fs::path gbk_dir = dir.path() / fs::path(u8"目录");
  fs::create_directory(gbk_dir);
  test::write_file(dir.path() / "file.txt", "x");
  std::string base = gbk_from_native(dir.path());

  EXPECT_TRUE(path_is_directory(base));
  EXPECT_TRUE(path_is_directory(base + "/"));
  EXPECT_TRUE(path_is_directory(base + "/\xC4\xBF\xC2\xBC" /* 目录 */));
  EXPECT_FALSE(path_is_directory(base + "/file.txt"));
  EXPECT_FALSE(path_is_directory(base + "/missing"));
  EXPECT_FALSE(path_is_directory(""));
}

TEST(PathsTest, NativePathRoundTrip) {
  const std::string gbk = "/tmp/\xC4\xBF\xC2\xBC/" CHENG ".txt";  // /tmp/目录/誠.txt
  fs::path native = native_path(gbk);
  EXPECT_EQ(native.native(), "/tmp/\xE7\x9B\xAE\xE5\xBD\x95/\xE8\xAA\xA0.txt");  // UTF-8
  EXPECT_EQ(gbk_from_native(native), gbk);
}

struct TempDirCase {
  const char* name;
  const char* tmpdir;  // nullptr: unset
  std::string expected;
};

class TempDirectoryTest : public ::testing::TestWithParam<TempDirCase> {};

TEST_P(TempDirectoryTest, EndsInSeparator) {
  const TempDirCase& c = GetParam();
  test::ScopedEnv env("TMPDIR", c.tmpdir ? c.tmpdir : "");
  if (!c.tmpdir) ::unsetenv("TMPDIR");
  EXPECT_EQ(temp_directory(), c.expected);
}

const TempDirCase TEMP_DIR_CASES[] = {
    {"unset", nullptr, "/tmp/"},
    {"empty", "", "/tmp/"},
    {"set", "/var/tmp/u", "/var/tmp/u/"},
    {"set_with_separator", "/var/tmp/u/", "/var/tmp/u/"},
    {"gbk_name", "/tmp/\xE7\x9B\xAE\xE5\xBD\x95" /* /tmp/目录 in UTF-8 */,
     "/tmp/\xC4\xBF\xC2\xBC/"},
    // No GBK form: a path with "?" in it would lead nowhere.
    {"name_without_gbk_form", "/tmp/\xF0\x9F\x98\x80", "/tmp/"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TempDirectoryTest, ::testing::ValuesIn(TEMP_DIR_CASES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace corvane::platform
