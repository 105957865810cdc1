#pragma once
// The settings file: "cv.ini" in the user's temporary directory, section "corv512",
// holding only the remembered account ("user") and its password ("pass"), in plain
// text. Keys and values are GBK texts.
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr std::string_view SETTINGS_FILE_NAME = "cv.ini";
inline constexpr std::string_view SETTINGS_SECTION = "corv512";
inline constexpr std::string_view SETTING_USER = "user";
inline constexpr std::string_view SETTING_PASS = "pass";
inline constexpr std::size_t SETTINGS_BUFFER_SIZE = 10240;

// The full path of the settings file (GBK).
std::string settings_file();

// The value of key, "" when the key or the file is missing or the file is unreadable.
std::string read_setting(std::string_view key);

// Writes key = value, creating the file and the section when needed; an empty value
// writes the key with an empty value. Failures are not reported to the user; the
// result is there for the tests.
bool write_setting(std::string_view key, std::string_view value);

// Forgets the remembered login: "" to "user", then "" to "pass".
void clear_saved_login();

}  // namespace corvane
