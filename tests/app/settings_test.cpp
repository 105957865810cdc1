#include "app/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// Every test gets its own temporary directory as the user's temporary directory.
class SettingsTest : public ::testing::Test {
 protected:
  fs::path file() const { return dir_.path() / "cv.ini"; }
  unsigned mode() const {
    struct stat st {};
    if (::stat(file().c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
  }

  test::TempDir dir_;
  test::ScopedEnv tmpdir_{"TMPDIR", dir_.str()};
};

TEST_F(SettingsTest, FileLivesInTheTemporaryDirectory) {
  EXPECT_EQ(platform::native_path(settings_file()), file());
}

TEST_F(SettingsTest, NoFileReadsEmptyAndCreatesNothing) {
  EXPECT_EQ(read_setting("user"), "");
  EXPECT_EQ(read_setting("pass"), "");
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(SettingsTest, UserSetPassEmpty) {
  write_file(file(), "[corv512]\r\nuser=alice\r\npass=\r\n");
  EXPECT_EQ(read_setting("user"), "alice");
  EXPECT_EQ(read_setting("pass"), "");
}

TEST_F(SettingsTest, PassWithoutUser) {
  write_file(file(), "[corv512]\npass=pw\n");
  EXPECT_EQ(read_setting("user"), "");
  EXPECT_EQ(read_setting("pass"), "pw");
}

TEST_F(SettingsTest, OtherSectionsAreNotOurs) {
  write_file(file(), "[corv511]\r\nuser=alice\r\npass=pw\r\n");
  EXPECT_EQ(read_setting("user"), "");
}

TEST_F(SettingsTest, RememberedLoginRoundTrip) {
  const std::string account = "\xD5\xC5\xC8\xFD";  // 张三
  const std::string password = " p\xC3\xDC\"w ";   // " p密"w "
  ASSERT_TRUE(write_setting("user", account));
  ASSERT_TRUE(write_setting("pass", password));
  EXPECT_EQ(read_setting("user"), account);
  EXPECT_EQ(read_setting("pass"), password);
  EXPECT_EQ(mode(), 0600u);
}

TEST_F(SettingsTest, ClearSavedLoginWritesEmptyKeysAndKeepsTheRest) {
  write_file(file(),
             "; kept\r\n[corv512]\r\nuser=alice\r\nextra=1\r\npass=pw\r\n\r\n[other]\r\nuser=bob\r\n");
  ASSERT_EQ(::chmod(file().c_str(), 0644), 0);
  clear_saved_login();
  EXPECT_EQ(read_file(file()),
            "; kept\r\n[corv512]\r\nuser=\r\nextra=1\r\npass=\r\n\r\n[other]\r\nuser=bob\r\n");
  EXPECT_EQ(read_setting("user"), "");
  EXPECT_EQ(read_setting("pass"), "");
  EXPECT_EQ(mode(), 0600u);
}

TEST_F(SettingsTest, ClearSavedLoginWithoutFileCreatesEmptyKeys) {
  clear_saved_login();
  EXPECT_EQ(read_file(file()), "[corv512]\r\nuser=\r\npass=\r\n");
}

TEST_F(SettingsTest, LongValueIsCutToTheBuffer) {
  std::string value(SETTINGS_BUFFER_SIZE + 100, 'x');
  ASSERT_TRUE(write_setting("pass", value));
  EXPECT_EQ(read_setting("pass"), value.substr(0, SETTINGS_BUFFER_SIZE - 1));
}

TEST_F(SettingsTest, MissingTemporaryDirectoryFailsSilently) {
  test::ScopedEnv gone("TMPDIR", (dir_.path() / "gone").string());
  EXPECT_FALSE(write_setting("user", "alice"));
  clear_saved_login();
  EXPECT_EQ(read_setting("user"), "");
}

}  // namespace
}  // namespace corvane
