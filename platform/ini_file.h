#pragma once
// Private-profile (INI) files with the Windows rules: section and key names compare
// ignoring ASCII letter case, values are read trimmed with one pair of surrounding
// quotes removed, and a write changes only the line of its key. Paths, names and
// values are GBK texts.
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::platform {

// The value of key in section, cut to buffer_size - 1 bytes (never through the middle
// of a double-byte character); "" when the file, the section or the key is missing.
// On POSIX only a regular file owned by the current user is read: a file planted by
// someone else in a shared directory reads as missing.
std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::size_t buffer_size);

// Sets key in section to value, creating the file and the section when needed. An
// empty value writes "key=" (it does not delete the key). A new key goes after the
// last line of its section, a new section at the end of the file; every other line is
// kept byte for byte, and what is written ends in CR LF. A value that would not read
// back as written (surrounding blanks or quotes) is written inside double quotes.
// Returns false, without touching the file, when a name or the value holds a line
// break, the key holds "=", or the file cannot be read or replaced.
// On POSIX the file is replaced atomically by a new one with mode 0600 in the same
// directory, so the old file is never written through.
bool write_profile_string(std::string_view path, std::string_view section,
                          std::string_view key, std::string_view value);

}  // namespace corvane::platform
