// The operations of a space's five-field form (Yz0 names the operation, Yz1 to Yz4
// carry its values): the owner's login, listings, access passwords, and the owner's
// changes to the tree. Each answer is a script fragment; changes succeed with a
// "parent.Q.f_s=" statement and fail with an alert.
#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"

namespace corvane::local {

namespace {

constexpr const char* CAPTCHA_REQUEST = "<script type=\"text/javascript\">parent._CK.yzck.z.a();</script>";
// What the edit dialog shows in place of a directory's password: sent back unchanged,
// it means the password stays.
constexpr const char* PASSWORD_UNCHANGED = "~~~~~~";
constexpr std::size_t MAX_DIRECTORIES = 200;

std::string opened_mark(const Directory& d) {
  return "," + std::to_string(d.id) + "." + std::to_string(d.password_generation) + ",";
}

// "<current>,ZMm_<target>": the directory shown and the one chosen as the new home.
bool parse_move(const std::string& value, int64_t& current, int64_t& target) {
  std::size_t comma = value.find(",ZMm_");
  if (comma == std::string::npos) return false;
  std::optional<int64_t> c = parse_id(value.substr(0, comma));
  std::optional<int64_t> t = parse_id(value.substr(comma + 5));
  if (!c || !t) return false;
  current = *c;
  target = *t;
  return true;
}

// "z_<directory>_<name>_i": a sub-directory, named by its directory and its name.
bool parse_subdirectory(const std::string& id, int64_t& directory, std::string& name) {
  if (id.size() < 6 || id.compare(0, 2, "z_") != 0 || id.compare(id.size() - 2, 2, "_i") != 0)
    return false;
  std::string inner = id.substr(2, id.size() - 4);
  std::size_t cut = inner.find('_');
  if (cut == std::string::npos) return false;
  std::optional<int64_t> d = parse_id(inner.substr(0, cut));
  if (!d) return false;
  directory = *d;
  name = inner.substr(cut + 1);
  return !name.empty();
}

}  // namespace

std::string Site::form_operation(const Account& account, Session& session,
                                 const std::string (&f)[5]) {
  const std::string& op = f[0];
  if (op == "gly_dl") return login_operation(account, session, f[1], f[2]);
  if (op == "ml_dq") return directory_list_page(account);
  if (op == "dq") {
    std::optional<int64_t> id = parse_id(f[1]);
    std::optional<Directory> d = id ? store_.directory(account.id, *id) : std::nullopt;
    if (!d) return alert_answer(texts::DIRECTORY_MISSING);
    if (!d->password.empty() && !session.owner &&
        session.opened.find(opened_mark(*d)) == std::string::npos)
      return alert_answer(texts::NO_LIST_RIGHT);
    return file_list_page(account, *d, session.owner);
  }
  if (op == "kqmmpd") return open_directory(account, session, f);
  if (op == "xszxlb") return online_page(account, session);

  const bool owner_operation = op == "scjl" || op == "scml" || op == "xzml" || op == "xgml" ||
                               op == "xgsj" || op == "xsdllb";
  if (!owner_operation) return alert_answer(texts::UNKNOWN_OPERATION);
  if (!session.owner) return alert_answer(texts::NOT_OWNER);
  if (op == "xsdllb") {
    std::optional<int64_t> p = parse_id(f[1]);
    return download_records_page(account, p ? *p : 1);
  }
  if (op == "xzml") return create_directory(account, f);
  if (op == "xgml") return edit_directory(account, f);
  if (op == "xgsj") return edit_item(account, f);
  if (op == "scjl") return delete_item(account, f);
  return delete_directory(account, f);
}

std::string Site::login_operation(const Account& account, Session& session,
                                  const std::string& password, const std::string& captcha) {
  // After a wrong password every login of the space needs a captcha until one succeeds.
  std::optional<Account> current = store_.account_by_id(account.id);
  if (current && current->captcha_needed) {
    if (captcha.empty()) return CAPTCHA_REQUEST;
    if (!take_captcha(session, "ly", captcha))
      return std::string("<script type=\"text/javascript\">alert('") + texts::CAPTCHA_WRONG +
             "');parent._CK.yzck.z.a();</script>";
  }
  if (password != account.password) {
    store_.set_captcha_needed(account.id, true);
    return alert_answer(texts::PASSWORD_WRONG);
  }
  store_.set_captcha_needed(account.id, false);
  store_.update_session(session.id, [](Session& s) { s.owner = true; });
  session.owner = true;
  return std::string("<script type=\"text/javascript\">parent.Q.gly=1;parent.location.reload();</script>") +
         texts::LOGIN_DONE;
}

std::string Site::open_directory(const Account& account, Session& session,
                                 const std::string (&f)[5]) {
  std::optional<int64_t> id = parse_id(f[1]);
  std::optional<Directory> d = id ? store_.directory(account.id, *id) : std::nullopt;
  if (!d) return alert_answer(texts::DIRECTORY_MISSING);
  if (!d->password.empty() && f[2] != d->password) return alert_answer(texts::ACCESS_PASSWORD_WRONG);
  const std::string mark = opened_mark(*d);
  store_.update_session(session.id, [&](Session& s) {
    if (s.opened.find(mark) == std::string::npos) s.opened += mark;
    session.opened = s.opened;
  });
  return "<script type=\"text/javascript\">parent.Q.dq(" + std::to_string(d->id) + ");</script>" +
         texts::ACCESS_OPENED;
}

namespace {

std::string success_answer(const std::string& upload_host) {
  return std::string("<script type=\"text/javascript\">parent.Q.f_s='") + upload_host +
         "';parent.Q.sx('" + texts::DONE + "');</script>";
}

const char* name_problem(const std::string& name) {
  if (name.empty()) return texts::NAME_EMPTY;
  if (name.size() > 100) return texts::NAME_TOO_LONG;
  if (!valid_name(name)) return texts::NAME_INVALID;
  return nullptr;
}

// Sub-directory names also leave out "_", which separates the parts of the ids that
// name a sub-directory ("z_<directory>_<name>_i") and its block on the listing.
const char* subdirectory_name_problem(const std::string& name) {
  if (const char* p = name_problem(name)) return p;
  if (name.find('_') != std::string::npos) return texts::NAME_INVALID;
  return nullptr;
}

}  // namespace

std::string Site::create_directory(const Account& account, const std::string (&f)[5]) {
  const std::string& name = f[1];
  if (const char* problem = name_problem(name)) return alert_answer(problem);
  int64_t id = 0;
  const char* refusal = nullptr;
  store_.transaction([&] {
    if (store_.directory_named(account.id, name)) {
      refusal = texts::DIRECTORY_EXISTS;
      return false;
    }
    if (store_.directories(account.id).size() >= MAX_DIRECTORIES) {
      refusal = texts::BAD_REQUEST;
      return false;
    }
    Directory d;
    d.account_id = account.id;
    d.name = name;
    d.password = f[3];
    d.flags = f[4];
    d.upload_code = random_token(16);
    d.created = now();
    id = store_.add_directory(d);
    return true;
  });
  if (refusal) return alert_answer(refusal);
  record_change(account, "M+", id);
  return success_answer(upload_host(account));
}

std::string Site::edit_directory(const Account& account, const std::string (&f)[5]) {
  std::optional<int64_t> id = parse_id(f[1]);
  const std::string& name = f[2];
  if (const char* problem = name_problem(name)) return alert_answer(problem);
  // Yz4 is the password, "|" and the directory's flags.
  const std::size_t bar = f[4].rfind('|');
  const std::string password = bar == std::string::npos ? f[4] : f[4].substr(0, bar);
  const std::string flags = bar == std::string::npos ? std::string() : f[4].substr(bar + 1);
  const char* refusal = texts::DIRECTORY_MISSING;
  store_.transaction([&] {
    std::optional<Directory> d = id ? store_.directory(account.id, *id) : std::nullopt;
    if (!d) return false;
    std::optional<Directory> same = store_.directory_named(account.id, name);
    if (same && same->id != d->id) {
      refusal = texts::DIRECTORY_EXISTS;
      return false;
    }
    d->name = name;
    if (password != PASSWORD_UNCHANGED && password != d->password) {
      d->password = password;
      ++d->password_generation;  // visitors who opened it must give the new one
    }
    if (!flags.empty()) d->flags = flags;
    store_.update_directory(*d);
    refusal = nullptr;
    return true;
  });
  if (refusal) return alert_answer(refusal);
  record_change(account, "M.", *id);
  return success_answer(upload_host(account));
}

std::string Site::edit_item(const Account& account, const std::string (&f)[5]) {
  int64_t current = 0, target = 0;
  if (!parse_move(f[4], current, target)) return alert_answer(texts::BAD_REQUEST);
  if (!store_.directory(account.id, target)) return alert_answer(texts::DIRECTORY_MISSING);

  if (f[1].rfind("w_", 0) == 0) {
    std::optional<int64_t> id = parse_id(f[1].substr(2));
    std::optional<File> file = id ? store_.file(account.id, *id) : std::nullopt;
    if (!file) return alert_answer(texts::FILE_MISSING);
    if (const char* problem = name_problem(f[2])) return alert_answer(problem);
    file->name = f[2];
    if (file->directory_id != target) {
      file->directory_id = target;
      file->subdirectory.clear();
    }
    store_.update_file(*file);
    record_change(account, "W.", target);
    return success_answer(upload_host(account));
  }

  int64_t directory = 0;
  std::string old_name;
  if (!parse_subdirectory(f[1], directory, old_name)) return alert_answer(texts::BAD_REQUEST);
  if (!store_.directory(account.id, directory)) return alert_answer(texts::DIRECTORY_MISSING);
  const std::string& new_name = f[3];
  if (const char* problem = subdirectory_name_problem(new_name)) return alert_answer(problem);
  if (store_.move_subdirectory(directory, old_name, target, new_name) == 0)
    return alert_answer(texts::DIRECTORY_MISSING);
  record_change(account, "W.", target);
  return success_answer(upload_host(account));
}

std::string Site::delete_item(const Account& account, const std::string (&f)[5]) {
  // The id tells what goes; the kind in Yz1 only repeats it (and can be wrong).
  const std::string& id = f[2];
  if (id.rfind("w_", 0) == 0) {
    std::optional<int64_t> file_id = parse_id(id.substr(2));
    std::optional<File> file = file_id ? store_.file(account.id, *file_id) : std::nullopt;
    if (!file) return alert_answer(texts::FILE_MISSING);
    store_.delete_file(file->id, now());
    record_change(account, "W-", file->directory_id);
    return success_answer(upload_host(account));
  }
  int64_t directory = 0;
  std::string name;
  if (!parse_subdirectory(id, directory, name)) return alert_answer(texts::BAD_REQUEST);
  if (!store_.directory(account.id, directory)) return alert_answer(texts::DIRECTORY_MISSING);
  if (store_.delete_subdirectory(directory, name, now()) == 0)
    return alert_answer(texts::DIRECTORY_MISSING);
  record_change(account, "W-", directory);
  return success_answer(upload_host(account));
}

std::string Site::delete_directory(const Account& account, const std::string (&f)[5]) {
  std::optional<int64_t> id = parse_id(f[1]);
  bool done = store_.transaction([&] {
    if (!id || !store_.directory(account.id, *id)) return false;
    store_.delete_directory(*id, now());
    return true;
  });
  if (!done) return alert_answer(texts::DIRECTORY_MISSING);
  record_change(account, "M-", *id);
  return success_answer(upload_host(account));
}

}  // namespace corvane::local
