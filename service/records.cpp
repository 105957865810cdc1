// Visitors online ("xszxlb") and download records ("xsdllb", paged): table rows cut out
// of the frame's answer with one pattern each.
#include "service/records.h"

#include "app/threads.h"
#include "service/regex_matcher.h"
#include "service/service_client.h"

namespace corvane {

namespace {

constexpr const char* PAGING_LEFT = "D_xzlb_i.clfy('";
constexpr const char* PAGING_RIGHT = "')";

// Matches pattern over text and hands the groups of each match, in order, to the lists:
// group first_group + k goes to lists[k].
template <std::size_t N>
int collect_rows(std::string_view pattern, std::string_view text, int first_group,
                 TextList* const (&lists)[N], const RowCallback& after_row) {
  for (TextList* list : lists) list->clear();
  RegexMatcher matcher;
  matcher.create(pattern, text);
  const int rows = matcher.count();
  for (int n = 1; n <= rows; ++n) {
    for (std::size_t k = 0; k < N; ++k)
      lists[k]->push_back(matcher.submatch(n, first_group + static_cast<int>(k)));
    if (after_row) after_row();
  }
  return static_cast<int>(lists[0]->size());
}

}  // namespace

int parse_online_list(std::string_view page, TextList& ips, TextList& entered, TextList& online,
                      const RowCallback& after_row) {
  const std::string text = replace_all(page, ONLINE_HIGHLIGHT, "");
  TextList* const lists[] = {&ips, &entered, &online};
  // Group 1 is the service's own row number; the window numbers the rows itself.
  return collect_rows(ONLINE_ROW_PATTERN, text, 2, lists, after_row);
}

std::optional<long long> download_page_count(std::string_view first_page) {
  const std::string paging = text_between(first_page, PAGING_LEFT, PAGING_RIGHT);
  TextList parts = split(paging, ",");
  // Each comma ends a part; what follows the last comma is a part only when not empty.
  if (!parts.empty() && parts.back().empty()) parts.pop_back();
  if (parts.size() < 3) return std::nullopt;
  return to_integer(parts[2]);
}

int download_pages_to_read(std::string_view first_page) {
  const std::optional<long long> count = download_page_count(first_page);
  if (!count || *count < 2) return 1;
  return *count > MAX_DOWNLOAD_PAGES ? MAX_DOWNLOAD_PAGES : static_cast<int>(*count);
}

int parse_download_records(std::string_view pages, TextList& times, TextList& ips,
                           TextList& files, TextList& amounts, TextList& speeds,
                           TextList& taken, const RowCallback& after_row) {
  TextList* const lists[] = {&times, &ips, &files, &amounts, &speeds, &taken};
  return collect_rows(DOWNLOAD_ROW_PATTERN, pages, 1, lists, after_row);
}

int ServiceClient::list_online(TextList& ips, TextList& entered, TextList& online) {
  const std::string page = post_form("xszxlb");
  return parse_online_list(page, ips, entered, online, process_pending_messages);
}

int ServiceClient::list_download_records(TextList& times, TextList& ips, TextList& files,
                                         TextList& amounts, TextList& speeds, TextList& taken) {
  std::string collected = post_form("xsdllb", "1");
  const int pages = download_pages_to_read(collected);
  // A page that fails adds nothing; the others still count. The rows are matched once,
  // over all pages joined in order.
  for (int p = 2; p <= pages; ++p) collected += post_form("xsdllb", std::to_string(p));
  return parse_download_records(collected, times, ips, files, amounts, speeds, taken,
                                process_pending_messages);
}

}  // namespace corvane
