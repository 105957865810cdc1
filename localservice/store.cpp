#include "localservice/store.h"

#include <sqlite3.h>

#include <stdexcept>

namespace corvane::local {

namespace {

constexpr const char* SCHEMA = R"sql(
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, password BLOB NOT NULL,
  email BLOB NOT NULL, quota_mb INTEGER NOT NULL, upload_label TEXT NOT NULL,
  captcha_needed INTEGER NOT NULL DEFAULT 0, created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS directories(
  id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id),
  name BLOB NOT NULL, password BLOB NOT NULL, flags TEXT NOT NULL,
  upload_code TEXT NOT NULL UNIQUE, password_generation INTEGER NOT NULL DEFAULT 0,
  created INTEGER NOT NULL, deleted INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS files(
  id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id),
  directory_id INTEGER NOT NULL REFERENCES directories(id), subdirectory BLOB NOT NULL,
  name BLOB NOT NULL, size INTEGER NOT NULL, uploaded INTEGER NOT NULL,
  blob TEXT NOT NULL, access_key TEXT NOT NULL, deleted INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS files_by_directory ON files(directory_id, deleted);
CREATE TABLE IF NOT EXISTS downloads(
  id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL, time INTEGER NOT NULL,
  ip TEXT NOT NULL, file_name BLOB NOT NULL, amount INTEGER NOT NULL,
  millis INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS downloads_by_account ON downloads(account_id, id);
CREATE TABLE IF NOT EXISTS changes(
  serial INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER NOT NULL,
  code TEXT NOT NULL, directory_id INTEGER NOT NULL, time INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sessions(
  id TEXT PRIMARY KEY, kind TEXT NOT NULL, account_id INTEGER NOT NULL,
  owner INTEGER NOT NULL, opened TEXT NOT NULL, captcha TEXT NOT NULL,
  view_state TEXT NOT NULL, event_validation TEXT NOT NULL, ip TEXT NOT NULL,
  created INTEGER NOT NULL, last_seen INTEGER NOT NULL, change_seen INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS short_links(
  code TEXT PRIMARY KEY, url BLOB NOT NULL UNIQUE, created INTEGER NOT NULL);
)sql";

}  // namespace

// A prepared statement with positional binding (1-based) and column reads (0-based).
class Store::Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& o) noexcept : stmt_(o.stmt_) { o.stmt_ = nullptr; }

  Statement& bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& blob(int i, std::string_view v) {
    sqlite3_bind_blob(stmt_, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  Statement& text(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // True while there is a row to read.
  bool step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("sqlite step: ") +
                             sqlite3_errmsg(sqlite3_db_handle(stmt_)));
  }
  void run() {
    while (step()) {
    }
  }
  int64_t integer(int c) const { return sqlite3_column_int64(stmt_, c); }
  std::string bytes(int c) const {
    const void* p = sqlite3_column_blob(stmt_, c);
    int n = sqlite3_column_bytes(stmt_, c);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
             : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

Store::Statement Store::prepare(const char* sql) { return Statement(db_, sql); }

void Store::exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown";
    sqlite3_free(message);
    throw std::runtime_error("sqlite: " + text);
  }
}

Store::~Store() {
  if (db_) sqlite3_close(db_);
}

bool Store::open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    if (error) *error = db_ ? sqlite3_errmsg(db_) : "cannot open the database";
    return false;
  }
  try {
    sqlite3_busy_timeout(db_, 5000);
    exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    exec(SCHEMA);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  return true;
}

bool Store::transaction(const std::function<bool()>& body) {
  std::lock_guard lock(mutex_);
  exec("BEGIN IMMEDIATE");
  bool ok = false;
  try {
    ok = body();
  } catch (...) {
    exec("ROLLBACK");
    throw;
  }
  exec(ok ? "COMMIT" : "ROLLBACK");
  return ok;
}

// ---- accounts

#define CORVANE_ACCOUNT_SELECT(where) \
  ("SELECT id, name, password, email, quota_mb, upload_label, captcha_needed, created " \
   "FROM accounts WHERE " where)

static Account read_account(const auto& s) {
  Account a;
  a.id = s.integer(0);
  a.name = s.bytes(1);
  a.password = s.bytes(2);
  a.email = s.bytes(3);
  a.quota_mb = s.integer(4);
  a.upload_label = s.bytes(5);
  a.captcha_needed = s.integer(6) != 0;
  a.created = s.integer(7);
  return a;
}

std::optional<Account> Store::account(std::string_view name) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_ACCOUNT_SELECT("name = ?"));
  s.text(1, name);
  if (!s.step()) return std::nullopt;
  return read_account(s);
}

std::optional<Account> Store::account_by_id(int64_t id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_ACCOUNT_SELECT("id = ?"));
  s.bind(1, id);
  if (!s.step()) return std::nullopt;
  return read_account(s);
}

int64_t Store::add_account(const Account& a) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "INSERT INTO accounts(name, password, email, quota_mb, upload_label, captcha_needed, "
      "created) VALUES(?, ?, ?, ?, ?, ?, ?)");
  s.text(1, a.name).blob(2, a.password).blob(3, a.email).bind(4, a.quota_mb);
  s.text(5, a.upload_label).bind(6, a.captcha_needed ? 1 : 0).bind(7, a.created);
  s.run();
  return sqlite3_last_insert_rowid(db_);
}

void Store::set_captcha_needed(int64_t account_id, bool needed) {
  std::lock_guard lock(mutex_);
  auto s = prepare("UPDATE accounts SET captcha_needed = ? WHERE id = ?");
  s.bind(1, needed ? 1 : 0).bind(2, account_id);
  s.run();
}

// ---- directories

#define CORVANE_DIRECTORY_SELECT(where)                                                   \
  ("SELECT id, account_id, name, password, flags, upload_code, password_generation, "    \
   "created, deleted FROM directories WHERE " where)

static Directory read_directory(const auto& s) {
  Directory d;
  d.id = s.integer(0);
  d.account_id = s.integer(1);
  d.name = s.bytes(2);
  d.password = s.bytes(3);
  d.flags = s.bytes(4);
  d.upload_code = s.bytes(5);
  d.password_generation = s.integer(6);
  d.created = s.integer(7);
  d.deleted = s.integer(8);
  return d;
}

std::vector<Directory> Store::directories(int64_t account_id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_DIRECTORY_SELECT("account_id = ? AND deleted = 0 ORDER BY id"));
  s.bind(1, account_id);
  std::vector<Directory> out;
  while (s.step()) out.push_back(read_directory(s));
  return out;
}

std::optional<Directory> Store::directory(int64_t account_id, int64_t id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_DIRECTORY_SELECT("id = ? AND account_id = ? AND deleted = 0"));
  s.bind(1, id).bind(2, account_id);
  if (!s.step()) return std::nullopt;
  return read_directory(s);
}

std::optional<Directory> Store::directory_by_upload_code(std::string_view code) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_DIRECTORY_SELECT("upload_code = ? AND deleted = 0"));
  s.text(1, code);
  if (!s.step()) return std::nullopt;
  return read_directory(s);
}

std::optional<Directory> Store::directory_named(int64_t account_id, std::string_view name) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_DIRECTORY_SELECT("account_id = ? AND name = ? AND deleted = 0"));
  s.bind(1, account_id).blob(2, name);
  if (!s.step()) return std::nullopt;
  return read_directory(s);
}

int64_t Store::add_directory(const Directory& d) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "INSERT INTO directories(account_id, name, password, flags, upload_code, "
      "password_generation, created) VALUES(?, ?, ?, ?, ?, 0, ?)");
  s.bind(1, d.account_id).blob(2, d.name).blob(3, d.password).text(4, d.flags);
  s.text(5, d.upload_code).bind(6, d.created);
  s.run();
  return sqlite3_last_insert_rowid(db_);
}

void Store::update_directory(const Directory& d) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "UPDATE directories SET name = ?, password = ?, flags = ?, password_generation = ? "
      "WHERE id = ?");
  s.blob(1, d.name).blob(2, d.password).text(3, d.flags).bind(4, d.password_generation);
  s.bind(5, d.id);
  s.run();
}

void Store::delete_directory(int64_t id, int64_t now) {
  std::lock_guard lock(mutex_);
  auto f = prepare("UPDATE files SET deleted = ? WHERE directory_id = ? AND deleted = 0");
  f.bind(1, now).bind(2, id);
  f.run();
  auto d = prepare("UPDATE directories SET deleted = ? WHERE id = ?");
  d.bind(1, now).bind(2, id);
  d.run();
}

// ---- files

#define CORVANE_FILE_SELECT(where)                                                         \
  ("SELECT id, account_id, directory_id, subdirectory, name, size, uploaded, blob, "      \
   "access_key, deleted FROM files WHERE " where)

static File read_file(const auto& s) {
  File f;
  f.id = s.integer(0);
  f.account_id = s.integer(1);
  f.directory_id = s.integer(2);
  f.subdirectory = s.bytes(3);
  f.name = s.bytes(4);
  f.size = s.integer(5);
  f.uploaded = s.integer(6);
  f.blob = s.bytes(7);
  f.access_key = s.bytes(8);
  f.deleted = s.integer(9);
  return f;
}

std::vector<File> Store::files(int64_t directory_id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_FILE_SELECT("directory_id = ? AND deleted = 0 ORDER BY id"));
  s.bind(1, directory_id);
  std::vector<File> out;
  while (s.step()) out.push_back(read_file(s));
  return out;
}

std::optional<File> Store::file(int64_t account_id, int64_t id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(CORVANE_FILE_SELECT("id = ? AND account_id = ? AND deleted = 0"));
  s.bind(1, id).bind(2, account_id);
  if (!s.step()) return std::nullopt;
  return read_file(s);
}

int64_t Store::add_file(const File& f) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "INSERT INTO files(account_id, directory_id, subdirectory, name, size, uploaded, blob, "
      "access_key) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
  s.bind(1, f.account_id).bind(2, f.directory_id).blob(3, f.subdirectory).blob(4, f.name);
  s.bind(5, f.size).bind(6, f.uploaded).text(7, f.blob).text(8, f.access_key);
  s.run();
  return sqlite3_last_insert_rowid(db_);
}

void Store::update_file(const File& f) {
  std::lock_guard lock(mutex_);
  auto s = prepare("UPDATE files SET directory_id = ?, subdirectory = ?, name = ? WHERE id = ?");
  s.bind(1, f.directory_id).blob(2, f.subdirectory).blob(3, f.name).bind(4, f.id);
  s.run();
}

void Store::delete_file(int64_t id, int64_t now) {
  std::lock_guard lock(mutex_);
  auto s = prepare("UPDATE files SET deleted = ? WHERE id = ? AND deleted = 0");
  s.bind(1, now).bind(2, id);
  s.run();
}

int64_t Store::delete_subdirectory(int64_t directory_id, std::string_view name, int64_t now) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "UPDATE files SET deleted = ? WHERE directory_id = ? AND subdirectory = ? AND "
      "deleted = 0");
  s.bind(1, now).bind(2, directory_id).blob(3, name);
  s.run();
  return sqlite3_changes(db_);
}

int64_t Store::move_subdirectory(int64_t directory_id, std::string_view name, int64_t target_id,
                                 std::string_view new_name) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "UPDATE files SET directory_id = ?, subdirectory = ? WHERE directory_id = ? AND "
      "subdirectory = ? AND deleted = 0");
  s.bind(1, target_id).blob(2, new_name).bind(3, directory_id).blob(4, name);
  s.run();
  return sqlite3_changes(db_);
}

int64_t Store::used_bytes(int64_t account_id) {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT COALESCE(SUM(size), 0) FROM files WHERE account_id = ? AND deleted = 0");
  s.bind(1, account_id);
  return s.step() ? s.integer(0) : 0;
}

std::vector<File> Store::deleted_files(int64_t account_id, int64_t since) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      CORVANE_FILE_SELECT("account_id = ? AND deleted >= ? AND deleted > 0 "
                          "ORDER BY deleted DESC, id"));
  s.bind(1, account_id).bind(2, since);
  std::vector<File> out;
  while (s.step()) out.push_back(read_file(s));
  return out;
}

std::vector<File> Store::restore_deleted(int64_t account_id, int64_t since) {
  std::lock_guard lock(mutex_);
  std::vector<File> restored = deleted_files(account_id, since);
  auto d = prepare(
      "UPDATE directories SET deleted = 0 WHERE id IN (SELECT directory_id FROM files WHERE "
      "account_id = ? AND deleted >= ? AND deleted > 0)");
  d.bind(1, account_id).bind(2, since);
  d.run();
  auto f = prepare("UPDATE files SET deleted = 0 WHERE account_id = ? AND deleted >= ? AND deleted > 0");
  f.bind(1, account_id).bind(2, since);
  f.run();
  return restored;
}

std::vector<std::string> Store::purge_deleted(int64_t before) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> blobs;
  auto s = prepare("SELECT blob FROM files WHERE deleted > 0 AND deleted < ?");
  s.bind(1, before);
  while (s.step()) blobs.push_back(s.bytes(0));
  auto f = prepare("DELETE FROM files WHERE deleted > 0 AND deleted < ?");
  f.bind(1, before);
  f.run();
  // A directory goes once nothing it held can come back.
  auto d = prepare(
      "DELETE FROM directories WHERE deleted > 0 AND deleted < ? AND id NOT IN "
      "(SELECT directory_id FROM files)");
  d.bind(1, before);
  d.run();
  return blobs;
}

std::vector<std::string> Store::all_blobs() {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT blob FROM files");
  std::vector<std::string> out;
  while (s.step()) out.push_back(s.bytes(0));
  return out;
}

// ---- download records

void Store::add_download(int64_t account_id, const DownloadRecord& r) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "INSERT INTO downloads(account_id, time, ip, file_name, amount, millis) "
      "VALUES(?, ?, ?, ?, ?, ?)");
  s.bind(1, account_id).bind(2, r.time).text(3, r.ip).blob(4, r.file_name);
  s.bind(5, r.amount).bind(6, r.millis);
  s.run();
}

int64_t Store::download_count(int64_t account_id) {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT COUNT(*) FROM downloads WHERE account_id = ?");
  s.bind(1, account_id);
  return s.step() ? s.integer(0) : 0;
}

std::vector<DownloadRecord> Store::downloads(int64_t account_id, int64_t offset, int64_t limit) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "SELECT time, ip, file_name, amount, millis FROM downloads WHERE account_id = ? "
      "ORDER BY id DESC LIMIT ? OFFSET ?");
  s.bind(1, account_id).bind(2, limit).bind(3, offset);
  std::vector<DownloadRecord> out;
  while (s.step())
    out.push_back({s.integer(0), s.bytes(1), s.bytes(2), s.integer(3), s.integer(4)});
  return out;
}

// ---- change log

int64_t Store::add_change(int64_t account_id, std::string_view code, int64_t directory_id,
                          int64_t now) {
  std::lock_guard lock(mutex_);
  auto s = prepare("INSERT INTO changes(account_id, code, directory_id, time) VALUES(?, ?, ?, ?)");
  s.bind(1, account_id).text(2, code).bind(3, directory_id).bind(4, now);
  s.run();
  return sqlite3_last_insert_rowid(db_);
}

int64_t Store::last_change_serial(int64_t account_id) {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT COALESCE(MAX(serial), 0) FROM changes WHERE account_id = ?");
  s.bind(1, account_id);
  return s.step() ? s.integer(0) : 0;
}

std::optional<Change> Store::change_after(int64_t account_id, int64_t serial) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "SELECT serial, code, directory_id FROM changes WHERE account_id = ? AND serial > ? "
      "ORDER BY serial DESC LIMIT 1");
  s.bind(1, account_id).bind(2, serial);
  if (!s.step()) return std::nullopt;
  return Change{s.integer(0), s.bytes(1), s.integer(2)};
}

// ---- sessions

std::optional<Session> Store::session(std::string_view id) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "SELECT id, kind, account_id, owner, opened, captcha, view_state, event_validation, ip, "
      "created, last_seen, change_seen FROM sessions WHERE id = ?");
  s.text(1, id);
  if (!s.step()) return std::nullopt;
  Session r;
  r.id = s.bytes(0);
  r.kind = s.bytes(1);
  r.account_id = s.integer(2);
  r.owner = s.integer(3) != 0;
  r.opened = s.bytes(4);
  r.captcha = s.bytes(5);
  r.view_state = s.bytes(6);
  r.event_validation = s.bytes(7);
  r.ip = s.bytes(8);
  r.created = s.integer(9);
  r.last_seen = s.integer(10);
  r.change_seen = s.integer(11);
  return r;
}

void Store::save_session(const Session& r) {
  std::lock_guard lock(mutex_);
  auto s = prepare(
      "INSERT OR REPLACE INTO sessions(id, kind, account_id, owner, opened, captcha, "
      "view_state, event_validation, ip, created, last_seen, change_seen) "
      "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  s.text(1, r.id).text(2, r.kind).bind(3, r.account_id).bind(4, r.owner ? 1 : 0);
  s.text(5, r.opened).text(6, r.captcha).text(7, r.view_state).text(8, r.event_validation);
  s.text(9, r.ip).bind(10, r.created).bind(11, r.last_seen).bind(12, r.change_seen);
  s.run();
}

bool Store::update_session(std::string_view id, const std::function<void(Session&)>& change) {
  std::lock_guard lock(mutex_);
  std::optional<Session> s = session(id);
  if (!s) return false;
  change(*s);
  save_session(*s);
  return true;
}

std::vector<Session> Store::sessions_seen(int64_t account_id, int64_t since) {
  std::vector<std::string> ids;
  std::lock_guard lock(mutex_);
  {
    auto s = prepare(
        "SELECT id FROM sessions WHERE kind = 'space' AND account_id = ? AND last_seen >= ? "
        "ORDER BY created, id");
    s.bind(1, account_id).bind(2, since);
    while (s.step()) ids.push_back(s.bytes(0));
  }
  std::vector<Session> out;
  for (const auto& id : ids)
    if (auto r = session(id)) out.push_back(*r);
  return out;
}

void Store::purge_sessions(int64_t before) {
  std::lock_guard lock(mutex_);
  auto s = prepare("DELETE FROM sessions WHERE last_seen < ?");
  s.bind(1, before);
  s.run();
}

// ---- short links

std::optional<std::string> Store::short_code_for(std::string_view url) {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT code FROM short_links WHERE url = ?");
  s.blob(1, url);
  if (!s.step()) return std::nullopt;
  return s.bytes(0);
}

std::optional<std::string> Store::short_link(std::string_view code) {
  std::lock_guard lock(mutex_);
  auto s = prepare("SELECT url FROM short_links WHERE code = ?");
  s.text(1, code);
  if (!s.step()) return std::nullopt;
  return s.bytes(0);
}

bool Store::add_short_link(std::string_view code, std::string_view url, int64_t now) {
  std::lock_guard lock(mutex_);
  auto s = prepare("INSERT OR IGNORE INTO short_links(code, url, created) VALUES(?, ?, ?)");
  s.text(1, code).blob(2, url).bind(3, now);
  s.run();
  return sqlite3_changes(db_) == 1;
}

}  // namespace corvane::local
