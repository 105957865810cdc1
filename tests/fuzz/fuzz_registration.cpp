// Random and truncated registration pages and answers (invalid GBK included) through the
// readers of the registration form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/registration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const corvane::ViewState view = corvane::extract_view_state(page);
  // Typed fields may hold anything the page holds.
  const std::string typed(page.substr(0, page.size() / 2));
  (void)corvane::registration_body(view, typed, typed, typed, "abcd");
  (void)corvane::registration_result(page, true, typed, typed);
  if (corvane::registration_result(page, false, typed, typed) != corvane::REGISTRATION_NO_ANSWER)
    __builtin_trap();
  return 0;
}
