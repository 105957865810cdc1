#pragma once
// Conversions between GBK (code page 936) and the Unicode forms used at the edges:
// UTF-16 for the regular-expression engine and the scripting rules, UTF-8 for Qt,
// the terminal, JSON and file names on POSIX. This is the only place that converts.
#include <string>
#include <string_view>

namespace corvane::platform {

// Invalid or truncated GBK sequences become U+FFFD, one per offending byte, so a
// damaged page still converts whole and offsets stay predictable.
std::u16string gbk_to_utf16(std::string_view gbk);
// Characters without a GBK form (and lone surrogates) become "?".
std::string utf16_to_gbk(std::u16string_view utf16);

std::string gbk_to_utf8(std::string_view gbk);
// Invalid UTF-8 bytes become "?".
std::string utf8_to_gbk(std::string_view utf8);

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

}  // namespace corvane::platform
