// The status-page parsers over arbitrary bytes: the input is cut at zero bytes into the
// home page, the frame, the online page and a directory table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/space_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::string_view parts[4];
  for (auto& part : parts) {
    const std::size_t cut = rest.find('\0');
    part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  const corvane::SpaceStatus s = corvane::parse_space_status(parts[0], parts[1], parts[2]);
  (void)corvane::space_status_text(s);
  (void)corvane::space_update_text(s.change_record, parts[3], {23, 59, 59});
  // The raw online page as a change record, so the codes and separators get exercised.
  (void)corvane::space_update_text(parts[2], parts[3], {0, 0, 0});
  (void)corvane::directory_name_of(parts[3], parts[0]);
  return 0;
}
