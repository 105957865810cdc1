// Random and truncated back-end pages (invalid GBK included) through every reader of the
// back-end login and deleted-files pages.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const corvane::ViewState view = corvane::extract_view_state(page);
  (void)corvane::backend_login_body(view, "demo", "pw", "abcd");
  (void)corvane::restore_body(view);
  (void)corvane::backend_login_message(page);

  corvane::TextList names, sizes, deleted;
  int after = 0;
  const int rows = corvane::parse_deleted_files(page, names, sizes, deleted, [&] { ++after; });
  if (rows != after || names.size() != static_cast<size_t>(rows) || sizes.size() != names.size() ||
      deleted.size() != names.size())
    __builtin_trap();
  (void)corvane::strip_notice_tags(corvane::deleted_files_notice(page));
  (void)corvane::strip_notice_tags(page);
  return 0;
}
