#pragma once
// Where GBK path texts meet the file system. Paths inside the core are GBK texts; they
// become native paths only here. The shell-style routines step through a path character
// by character, so a trail byte that happens to be "\\" (as in 誠, D5 5C) is never taken
// for a separator.
#include <filesystem>
#include <string>
#include <string_view>

namespace corvane::platform {

// The user's temporary directory as a GBK text that ends in a separator.
// POSIX: $TMPDIR when set and non-empty, else /tmp. Windows: GetTempPathA.
std::string temp_directory();

// The extension of the last path component with its dot, "" when there is none: the
// last "." after the last "\\", "/" or space ("a.b c" has none, "x." gives ".").
std::string path_find_extension(std::string_view path);

// The part after the last "\\", "/" or ":" that is followed by a character other than
// a separator; the whole text when there is none ("C:\\d\\a.txt" gives "a.txt",
// "C:\\d\\" gives "d\\").
std::string path_find_file_name(std::string_view path);

// True when the GBK path names an existing directory.
bool path_is_directory(std::string_view gbk_path);

// The native form of a GBK path (POSIX: UTF-8 bytes; Windows: UTF-16), and back.
std::filesystem::path native_path(std::string_view gbk_path);
std::string gbk_from_native(const std::filesystem::path& path);

}  // namespace corvane::platform
