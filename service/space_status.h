#pragma once
// The space status behind the main window's five-second poll
// (ServiceClient::read_space_status): size, free space and visitors online from three
// pages, and a notice when the service reports a change of the space's tree.
#include <string>
#include <string_view>

namespace corvane {

// The status line shown while no session is open.
inline constexpr std::string_view STATUS_WITHOUT_SESSION =
    "\xBF\xD5\xBC\xE4:---M \xCA\xA3\xD3\xE0:---M \xD4\xDA\xCF\xDF:-\xC8\xCB"; /* 空间:---M 剩余:---M 在线:-人 */

// What the three status pages yield; a value whose markers are missing is "".
struct SpaceStatus {
  std::string size;           // MB, as the space's home page prints it
  std::string free;           // MB, from the content frame's script
  std::string online;         // visitors online
  std::string change_record;  // the change code text of the online page, e.g. "W+,12;"
};

// Cuts the values out of the home page, the content frame and the online page (GBK).
SpaceStatus parse_space_status(std::string_view home_page, std::string_view frame_page,
                               std::string_view online_page);

// "空间:" + size + "M 剩余:" + free + "M 在线:" + online + "人".
std::string space_status_text(const SpaceStatus& status);

// A wall-clock time of day.
struct TimeOfDay {
  int hour = 0, minute = 0, second = 0;
};

// The current time of day in the machine's local time zone (the one the C library's
// localtime uses: TZ where set, else the system's zone).
TimeOfDay local_time_of_day();

// "14:9:5": hour, minute and second as unpadded decimal numbers.
std::string time_of_day_text(const TimeOfDay& time);

// The name of the root directory numbered number in a directory table of
// number|name| groups; "" when no group has exactly that number.
std::string directory_name_of(std::string_view directory_table, std::string_view number);

// The update notice for a change record: the time and the kind of change (for files
// also the name of the directory they are in), or "" when the record names no change.
// The file codes win over the directory codes: W-, W+, W., then M+, M., M-.
std::string space_update_text(std::string_view change_record, std::string_view directory_table,
                              const TimeOfDay& time);

}  // namespace corvane
