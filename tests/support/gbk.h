#pragma once
// Test fixtures are written in UTF-8 and turned into the GBK bytes the core works with.
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace corvane::test {

inline std::string gbk(std::string_view utf8) { return platform::utf8_to_gbk(utf8); }
inline std::string utf8(std::string_view gbk_text) { return platform::gbk_to_utf8(gbk_text); }

}  // namespace corvane::test
