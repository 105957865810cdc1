// The online-list and download-record parsers and the paging call over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "service/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  corvane::TextList a, b, c, d, e, f;
  const int online = corvane::parse_online_list(page, a, b, c);
  if (online != static_cast<int>(a.size()) || b.size() != a.size() || c.size() != a.size())
    std::abort();
  const int records = corvane::parse_download_records(page, a, b, c, d, e, f);
  for (const corvane::TextList* l : {&a, &b, &c, &d, &e, &f})
    if (l->size() != static_cast<std::size_t>(records)) std::abort();
  (void)corvane::download_page_count(page);
  const int pages = corvane::download_pages_to_read(page);
  if (pages < 1 || pages > corvane::MAX_DOWNLOAD_PAGES) std::abort();
  return 0;
}
