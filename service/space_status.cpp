// Space status: the home page carries the size, the content frame the free space, and
// the online page (C_zxsj.aspx) the visitor count and the last change of the space.
#include "service/space_status.h"

#include <ctime>
#include <mutex>

#include "http/page_fetcher.h"
#include "service/endpoints.h"
#include "service/service_client.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr const char* SIZE_LEFT = "\xBF\xD5\xBC\xE4:<label id=\"kjz1\">"; /* 空间:<label id="kjz1"> */
constexpr const char* SIZE_RIGHT = "</label>M";
constexpr const char* FREE_LEFT = "parent.ymbgz('kjz2', '";
constexpr const char* FREE_RIGHT = "'";
constexpr const char* ONLINE_LEFT = "zx:\"";
constexpr const char* CHANGE_LEFT = "gx:\"";
constexpr const char* VALUE_RIGHT = "\"";

struct ChangeNotice {
  const char* code;
  const char* text;  // follows the time; begins with a blank
  bool names_directory;
};

// Tested in this order; the first code found anywhere in the record decides.
constexpr ChangeNotice CHANGE_NOTICES[] = {
    {"W-", " \xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE,\xCE\xBB\xD3\xDA:" /* 删除文件,位于: */, true},
    {"W+", " \xD0\xC2\xD4\xF6\xCE\xC4\xBC\xFE,\xCE\xBB\xD3\xDA:" /* 新增文件,位于: */, true},
    {"W.", " \xB1\xE0\xBC\xAD\xCE\xC4\xBC\xFE,\xCE\xBB\xD3\xDA:" /* 编辑文件,位于: */, true},
    {"M+", " \xD0\xC2\xD4\xF6\xC4\xBF\xC2\xBC" /* 新增目录 */, false},
    {"M.", " \xB1\xE0\xBC\xAD\xC4\xBF\xC2\xBC" /* 编辑目录 */, false},
    {"M-", " \xC9\xBE\xB3\xFD\xC4\xBF\xC2\xBC" /* 删除目录 */, false},
};

std::string get_page(const std::string& url, const std::string& proxy) {
  FetchOptions options;
  options.proxy = proxy;
  return text_of_body(fetch_page(url, options));
}

}  // namespace

SpaceStatus parse_space_status(std::string_view home_page, std::string_view frame_page,
                               std::string_view online_page) {
  SpaceStatus s;
  s.size = text_between(home_page, SIZE_LEFT, SIZE_RIGHT);
  s.free = text_between(frame_page, FREE_LEFT, FREE_RIGHT);
  s.online = text_between(online_page, ONLINE_LEFT, VALUE_RIGHT);
  s.change_record = text_between(online_page, CHANGE_LEFT, VALUE_RIGHT);
  return s;
}

std::string space_status_text(const SpaceStatus& status) {
  return "\xBF\xD5\xBC\xE4:" /* 空间: */ + status.size + "M \xCA\xA3\xD3\xE0:" /* M 剩余: */ +
         status.free + "M \xD4\xDA\xCF\xDF:" /* M 在线: */ + status.online +
         "\xC8\xCB" /* 人 */;
}

TimeOfDay local_time_of_day() {
  // std::localtime hands back a shared buffer; copy it out under a lock.
  static std::mutex mutex;
  const std::time_t now = std::time(nullptr);
  std::lock_guard lock(mutex);
  const std::tm* local = std::localtime(&now);
  if (!local) return {};
  return {local->tm_hour, local->tm_min, local->tm_sec};
}

std::string time_of_day_text(const TimeOfDay& time) {
  return std::to_string(time.hour) + ":" + std::to_string(time.minute) + ":" +
         std::to_string(time.second);
}

std::string directory_name_of(std::string_view directory_table, std::string_view number) {
  // Whole groups only: a plain search for number + "|" would also hit the tail of a
  // longer number ("2|" inside "12|") or the end of a directory name, and an empty
  // number would match the first bar and name the first directory.
  if (number.empty()) return "";
  const TextList parts = split(directory_table, "|");
  for (std::size_t k = 0; k + 1 < parts.size(); k += 2)
    if (parts[k] == number) return parts[k + 1];
  return "";
}

std::string space_update_text(std::string_view change_record, std::string_view directory_table,
                              const TimeOfDay& time) {
  for (const ChangeNotice& notice : CHANGE_NOTICES) {
    if (!contains(change_record, notice.code)) continue;
    std::string text = time_of_day_text(time) + notice.text;
    if (notice.names_directory)
      text += directory_name_of(directory_table, text_between(change_record, ",", ";"));
    return text;
  }
  return "";
}

void ServiceClient::read_space_status(std::string& status, std::string& update) {
  if (logged_in.get() == 0) {
    status = STATUS_WITHOUT_SESSION;
    return;
  }
  const SessionState& s = *state_;
  const std::string account = s.account_name();
  const std::string proxy = s.proxy_address();
  const std::string home = get_page("http://" + account + "." + SERVICE_DOMAIN() + "/", proxy);
  const std::string frame = get_page(frame_url.get(), proxy);
  const std::string online =
      get_page(s.content_base_url() + "C_zxsj.aspx?dlmc=" + account, proxy);

  const SpaceStatus parsed = parse_space_status(home, frame, online);
  update = space_update_text(parsed.change_record, directory_table.get(), local_time_of_day());
  status = space_status_text(parsed);
}

}  // namespace corvane
