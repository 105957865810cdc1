#pragma once
// The visitors online and the download records of the space, for the information
// windows (ServiceClient::list_online, list_download_records). The page parsers are
// free functions over the GBK answer text.
#include <functional>
#include <optional>
#include <string_view>

#include "text/gbk_text.h"

namespace corvane {

// Called after each row a parser appends; the operations use it to let the window
// thread process its pending events while long lists are collected.
using RowCallback = std::function<void()>;

// The online list's cells: IP value, time entered, time online.
inline constexpr std::string_view ONLINE_ROW_PATTERN =
    "<tr><td>(.*?)</td><td>(.*?)</td><td>(.*?)</td><td align=right>(.*?)</td>";
// Download time, downloader's IP, (an empty cell,) file name, amount, speed, time taken.
inline constexpr std::string_view DOWNLOAD_ROW_PATTERN =
    "<tr><td>(.*?)</td><td>(.*?)</td><td></td><td>(.*?)</td><td align=right>(.*?)</td>"
    "<td align=right>(.*?)</td><td align=right>(.*?)</td>";

// The service highlights some rows with this tag; it is removed before matching (the
// closing tag is not, and sits inside the cell).
inline constexpr std::string_view ONLINE_HIGHLIGHT = "<font color=blue>";

// The most pages of download records read in one call. The page count comes from the
// answer itself; without a bound a broken or hostile answer could keep the window
// thread posting for hours.
inline constexpr int MAX_DOWNLOAD_PAGES = 1000;

// Empties the three lists and fills them from an online-list answer; returns the rows.
int parse_online_list(std::string_view page, TextList& ips, TextList& entered, TextList& online,
                      const RowCallback& after_row = {});

// The page count of the paging call "D_xzlb_i.clfy('...')" on page 1 of the download
// records: the third comma-separated part read as a decimal integer (0 or less: no
// further pages). nullopt when page 1 has no call or the call has fewer than three
// parts, that is, when the page names no count.
std::optional<long long> download_page_count(std::string_view first_page);

// How many pages to read in all for a page 1 answer: 1 unless it names a count of 2 or
// more, which is capped at MAX_DOWNLOAD_PAGES.
int download_pages_to_read(std::string_view first_page);

// Empties the six lists and fills them from the joined text of every page; returns the
// rows.
int parse_download_records(std::string_view pages, TextList& times, TextList& ips,
                           TextList& files, TextList& amounts, TextList& speeds,
                           TextList& taken, const RowCallback& after_row = {});

}  // namespace corvane
