#pragma once
// The service's records in one SQLite database: accounts (spaces), root directories,
// files (sub-directories exist only as the name their files carry), download records,
// the change log that the status page reports, sessions and short links. Texts are GBK
// bytes and are stored as blobs, so SQLite never takes them for UTF-8.
//
// One connection, one lock: every call is short, and a transaction() groups calls that
// must land together. The lock is recursive so that a transaction can call the others.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane::local {

struct Account {
  int64_t id = 0;
  std::string name;  // ASCII, lower case
  std::string password, email;
  int64_t quota_mb = 0;
  std::string upload_label;  // the space's upload server is "cv-" + label
  bool captcha_needed = false;
  int64_t created = 0;
};

struct Directory {
  int64_t id = 0, account_id = 0;
  std::string name, password, flags;
  std::string upload_code;
  int64_t password_generation = 0;  // grows with every password change
  int64_t created = 0, deleted = 0;
};

struct File {
  int64_t id = 0, account_id = 0, directory_id = 0;
  std::string subdirectory;  // "" for a file of the directory itself
  std::string name;
  int64_t size = 0, uploaded = 0;
  std::string blob;        // file name under the data directory's files/
  std::string access_key;  // part of the download address
  int64_t deleted = 0;     // time of deletion, 0 while the file lives
};

struct Session {
  std::string id;
  std::string kind;  // "space" or "main"
  int64_t account_id = 0;  // the space, or the back end's logged-in account (0: none)
  bool owner = false;
  std::string opened;   // ",<directory>.<generation>," per directory opened by password
  std::string captcha;  // "<purpose>:<code>", the captcha last shown
  std::string view_state, event_validation;
  std::string ip;
  int64_t created = 0, last_seen = 0, change_seen = 0;
};

struct DownloadRecord {
  int64_t time = 0;
  std::string ip, file_name;
  int64_t amount = 0, millis = 0;
};

struct Change {
  int64_t serial = 0;
  std::string code;
  int64_t directory_id = 0;
};

class Store {
 public:
  Store() = default;
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens (creating when missing) the database file; false with a message on failure.
  bool open(const std::string& path, std::string* error);

  // Runs body inside one transaction: committed when it returns true, rolled back when
  // it returns false or throws.
  bool transaction(const std::function<bool()>& body);

  // Accounts.
  std::optional<Account> account(std::string_view name);
  std::optional<Account> account_by_id(int64_t id);
  int64_t add_account(const Account& a);
  void set_captcha_needed(int64_t account_id, bool needed);

  // Root directories that live, in creation order.
  std::vector<Directory> directories(int64_t account_id);
  std::optional<Directory> directory(int64_t account_id, int64_t id);
  std::optional<Directory> directory_by_upload_code(std::string_view code);
  std::optional<Directory> directory_named(int64_t account_id, std::string_view name);
  int64_t add_directory(const Directory& d);
  void update_directory(const Directory& d);
  // Deletes the directory and every file in it; both stay restorable.
  void delete_directory(int64_t id, int64_t now);

  // Files that live, in upload order.
  std::vector<File> files(int64_t directory_id);
  std::optional<File> file(int64_t account_id, int64_t id);
  int64_t add_file(const File& f);
  void update_file(const File& f);
  void delete_file(int64_t id, int64_t now);
  // Files of one sub-directory; the count of rows changed.
  int64_t delete_subdirectory(int64_t directory_id, std::string_view name, int64_t now);
  int64_t move_subdirectory(int64_t directory_id, std::string_view name, int64_t target_id,
                            std::string_view new_name);
  int64_t used_bytes(int64_t account_id);
  // Files deleted at or after since, newest deletion first.
  std::vector<File> deleted_files(int64_t account_id, int64_t since);
  // Brings back every file deleted at or after since, and the directories they need.
  // Returns the files restored, in deletion order.
  std::vector<File> restore_deleted(int64_t account_id, int64_t since);
  // Forgets files and directories deleted before the limit; returns the blobs to remove.
  std::vector<std::string> purge_deleted(int64_t before);
  // Every blob name that a file row (live or deleted) refers to.
  std::vector<std::string> all_blobs();

  // Download records, newest first.
  void add_download(int64_t account_id, const DownloadRecord& r);
  int64_t download_count(int64_t account_id);
  std::vector<DownloadRecord> downloads(int64_t account_id, int64_t offset, int64_t limit);

  // The change log.
  int64_t add_change(int64_t account_id, std::string_view code, int64_t directory_id,
                     int64_t now);
  int64_t last_change_serial(int64_t account_id);
  std::optional<Change> change_after(int64_t account_id, int64_t serial);

  // Sessions.
  std::optional<Session> session(std::string_view id);
  void save_session(const Session& s);
  // Reads, changes and writes one session as one step, so that requests of the same
  // session running side by side (the status poll and a command) lose nothing.
  // False when there is no such session.
  bool update_session(std::string_view id, const std::function<void(Session&)>& change);
  // Space sessions seen at or after since, by entry time.
  std::vector<Session> sessions_seen(int64_t account_id, int64_t since);
  void purge_sessions(int64_t before);

  // Short links.
  std::optional<std::string> short_code_for(std::string_view url);
  std::optional<std::string> short_link(std::string_view code);
  bool add_short_link(std::string_view code, std::string_view url, int64_t now);

 private:
  class Statement;
  Statement prepare(const char* sql);
  void exec(const char* sql);

  sqlite3* db_ = nullptr;
  std::recursive_mutex mutex_;
};

}  // namespace corvane::local
