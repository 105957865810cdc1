#include "service/url_encode.h"

#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

void append_escaped(std::string& out, unsigned char byte) {
  out.push_back('%');
  out.push_back(HEX_DIGITS[byte >> 4]);
  out.push_back(HEX_DIGITS[byte & 0x0F]);
}

bool stays_unencoded(unsigned char b) {
  return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

}  // namespace

std::string url_encode(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (stays_unencoded(b))
      out.push_back(c);
    else
      append_escaped(out, b);
  }
  return out;
}

std::string escape_form_delimiters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&' || c == '=' || c == '%' || c == '+')
      append_escaped(out, static_cast<unsigned char>(c));
    else
      out.push_back(c);
  }
  return out;
}

bool operation_succeeded(std::string_view answer) {
  return contains(answer, OPERATION_SUCCESS_MARKER);
}

}  // namespace corvane
