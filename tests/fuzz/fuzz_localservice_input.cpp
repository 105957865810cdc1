// What any client may send the local service: form bodies, the page script's escapes,
// upload bodies with their content type, names and cookies. None may crash or read
// outside the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "localservice/web.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  using namespace corvane::local;
  (void)ordered_form(input, {"Yz0", "Yz1", "Yz2", "Yz3", "Yz4"});
  (void)ordered_form(input, {"__VIEWSTATE", "__EVENTVALIDATION", "dl1", "dl2", "dl3", "bu1"});
  (void)script_unescape(input);
  (void)valid_name(input);
  (void)cookie_value(input, "ASP.NET_SessionId");
  (void)raw_query(input);
  (void)parse_id(input);
  (void)host_name(input);
  // The first line is the content type, the rest the body.
  const std::size_t cut = input.find('\n');
  if (cut != std::string_view::npos) {
    if (auto part = parse_upload_body(input.substr(cut + 1), input.substr(0, cut)))
      (void)valid_name(part->filename);
  }
  (void)parse_upload_body(input, "multipart/form-data; boundary=---------------------------7de15037c013e");
  return 0;
}
