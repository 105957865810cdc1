// The main host: the back end (login, then the files deleted within five days and their
// recovery) and the registration of new spaces. These are ASP.NET-style forms: each page
// carries a view state that its post must send back, and each post needs a captcha.
#include <httplib.h>

#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"

namespace corvane::local {

namespace {

std::string hidden_state(const Session& s) {
  return "<div class=\"aspNetHidden\">\r\n"
         "<input type=\"hidden\" name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"" + s.view_state +
         "\" />\r\n</div>\r\n<div class=\"aspNetHidden\">\r\n"
         "<input type=\"hidden\" name=\"__EVENTVALIDATION\" id=\"__EVENTVALIDATION\" value=\"" +
         s.event_validation + "\" />\r\n</div>\r\n";
}

std::string notice_block(const std::string& notice) {
  return "<p style=\"font-size:10pt;\"><b>" + notice + "</b></p>\r\n";
}

std::string ts_script(const std::string& message, const std::string& then = "") {
  return "<script type=\"text/javascript\">var ts = \"" + message + "\";alert(ts);" + then +
         "</script>\r\n";
}

bool valid_account_name(const std::string& name) {
  if (name.size() < 3 || name.size() > 20) return false;
  if (!(name[0] >= 'a' && name[0] <= 'z')) return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

bool valid_email(const std::string& email) {
  std::size_t at = email.find('@');
  if (email.size() > 100 || at == std::string::npos || at == 0 || email.find('@', at + 1) != std::string::npos)
    return false;
  std::size_t dot = email.find('.', at + 2);
  if (dot == std::string::npos || dot + 1 >= email.size()) return false;
  for (unsigned char c : email)
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>') return false;
  return true;
}

bool valid_password(const std::string& password) {
  if (password.empty() || password.size() > 32) return false;
  for (unsigned char c : password)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

void Site::main_get(const Request& req, Response& res) {
  const std::string& path = req.path;
  if (path == "/ht/sjzx/cv_vf_img.aspx") {
    const std::string lx = req.get_param_value("lx");
    if (lx != "htdl" && lx != "zc") {
      send_page(res, page(texts::PAGE_MISSING, texts::PAGE_MISSING), 404);
      return;
    }
    Session session = session_for(req, res, "main", 0);
    captcha_image(session, lx, res);
    return;
  }
  if (path == "/ht/login.aspx") {
    Session session = session_for(req, res, "main", 0);
    send_page(res, backend_login_page(req.get_param_value("dlmc"), session));
    return;
  }
  if (path == "/ht/qt/hywj.aspx") {
    Session session = session_for(req, res, "main", 0);
    send_page(res, recover_page(session, ""));
    return;
  }
  if (path == "/register.aspx") {
    Session session = session_for(req, res, "main", 0);
    send_page(res, register_page(session));
    return;
  }
  if (path == "/zccg.aspx") {
    const std::string name = req.get_param_value("dlmc");
    std::string body = std::string("<h3>") + texts::REGISTER_DONE + "</h3>";
    if (valid_account_name(name))
      body += "<p><a href=\"http://" + name + "." + config_.domain + "/\">http://" + name + "." +
              config_.domain + "/</a></p>";
    send_page(res, page(texts::REGISTER_DONE, body));
    return;
  }
  if (path == "/" || path == "/default.aspx") {
    send_page(res, page(texts::SITE_NAME,
                        std::string("<h2>") + texts::SITE_NAME + "</h2>\r\n<p><a href=\"/register.aspx\">" +
                            texts::REGISTER_TITLE + "</a></p>"));
    return;
  }
  send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"), 404);
}

void Site::main_post(const Request& req, Response& res) {
  Session session = session_for(req, res, "main", 0);
  if (req.path == "/ht/login.aspx") {
    send_page(res, backend_login_post(req.get_param_value("dlmc"), session, req.body));
    return;
  }
  if (req.path == "/ht/qt/hywj.aspx") {
    send_page(res, recover_post(session, req.body));
    return;
  }
  if (req.path == "/register.aspx") {
    register_post(session, req.body, res);
    return;
  }
  send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"), 404);
}

namespace {

// A fresh view state for a page just served; its post must send the same back.
void new_view_state(Store& store, Session& session) {
  const std::string vs = "/wEPDwUK" + random_view_state(46) + "==";
  const std::string ev = "/wEW" + random_view_state(30) + "+w==";
  store.update_session(session.id, [&](Session& s) {
    s.view_state = vs;
    s.event_validation = ev;
  });
  session.view_state = vs;
  session.event_validation = ev;
}

bool view_state_matches(const Session& s, const std::map<std::string, std::string>& form) {
  return !s.view_state.empty() && form.at("__VIEWSTATE") == s.view_state &&
         form.at("__EVENTVALIDATION") == s.event_validation;
}

}  // namespace

std::string Site::backend_login_page(const std::string& account, Session& session) {
  new_view_state(store_, session);
  const std::string shown = valid_account_name(account) ? account : std::string();
  return page(texts::BACKEND_TITLE,
              "<form name=\"form1\" method=\"post\" action=\"login.aspx?dlmc=" + shown + "\" id=\"form1\">\r\n" +
                  hidden_state(session) + "<h3>" + texts::BACKEND_TITLE + "</h3>\r\n<p>" +
                  texts::BACKEND_ACCOUNT + "<input name=\"dl1\" type=\"text\" value=\"" + shown +
                  "\" id=\"dl1\" /></p>\r\n<p>" + texts::BACKEND_PASSWORD +
                  "<input name=\"dl2\" type=\"password\" id=\"dl2\" /></p>\r\n<p>" + texts::BACKEND_CAPTCHA +
                  "<input name=\"dl3\" type=\"text\" maxlength=\"4\" id=\"dl3\" />"
                  "<img src=\"sjzx/cv_vf_img.aspx?lx=htdl&amp;sj=0\" alt=\"\" /></p>\r\n"
                  "<p><input type=\"submit\" name=\"bu1\" value=\"" + texts::LOGIN_BUTTON +
                  "\" id=\"bu1\" /></p>\r\n</form>");
}

std::string Site::backend_login_post(const std::string& account, Session& session,
                                     const std::string& body) {
  (void)account;
  auto answer = [&](const std::string& message, const std::string& then = "") {
    // The page comes back with the same view state, as an ASP.NET post-back does.
    return page(texts::BACKEND_TITLE, ts_script(message, then) + hidden_state(session));
  };
  std::optional<std::map<std::string, std::string>> form =
      ordered_form(body, {"__VIEWSTATE", "__EVENTVALIDATION", "dl1", "dl2", "dl3", "bu1"});
  if (!form) return answer(texts::BAD_REQUEST);
  if (!view_state_matches(session, *form)) return answer(texts::PAGE_EXPIRED);
  if (!take_captcha(session, "htdl", (*form)["dl3"])) return answer(texts::BACKEND_CAPTCHA_WRONG);
  std::optional<Account> a = store_.account((*form)["dl1"]);
  if (!a || a->password != (*form)["dl2"]) return answer(texts::BACKEND_LOGIN_WRONG);
  store_.update_session(session.id, [&](Session& s) { s.account_id = a->id; });
  session.account_id = a->id;
  return answer(texts::BACKEND_LOGIN_DONE, "location.href='qt/hywj.aspx';");
}

std::string Site::recover_page(Session& session, const std::string& notice_override) {
  if (session.account_id == 0)
    return page(texts::DELETED_TITLE, notice_block(texts::BACKEND_LOGIN_FIRST) +
                                          "<p><a href=\"../login.aspx\">" + texts::BACKEND_TITLE + "</a></p>");
  new_view_state(store_, session);
  std::vector<File> files = store_.deleted_files(session.account_id, now() - KEEP_DELETED_SECONDS);
  std::string rows;
  int n = 0;
  for (const File& f : files)
    rows += "<tr><td>" + std::to_string(++n) + "</td><td>" + f.name +
            "</td><td></td><td style='text-align:right;'>" + std::to_string(size_in_kb(f.size)) +
            "KB</td><td style='text-align:right;'>" + format_time(f.deleted) + "</td></tr>\r\n";
  std::string notice = notice_override;
  if (notice.empty())
    notice = files.empty() ? std::string(texts::NOTHING_DELETED)
                           : std::string("<span id=\"czts\">") + texts::DELETED_COUNT_BEFORE +
                                 "<font color=blue>" + std::to_string(files.size()) + "</font>" +
                                 texts::DELETED_COUNT_AFTER + "</span>";
  return page(texts::DELETED_TITLE,
              "<form name=\"form1\" method=\"post\" action=\"hywj.aspx\" id=\"form1\">\r\n" +
                  hidden_state(session) + "<h3>" + texts::DELETED_TITLE + "</h3>\r\n" + notice_block(notice) +
                  "<table class=\"hywj\" cellspacing=\"0\">\r\n<tr><th></th><th>" + texts::COL_NAME +
                  "</th><th></th><th>" + texts::COL_SIZE + "</th><th>" + texts::COL_DELETED +
                  "</th></tr>\r\n" + rows + "</table>\r\n<p><input type=\"submit\" name=\"bu1\" value=\"" +
                  texts::RESTORE_BUTTON + "\" id=\"bu1\" /></p>\r\n</form>");
}

std::string Site::recover_post(Session& session, const std::string& body) {
  if (session.account_id == 0) return recover_page(session, "");
  std::optional<std::map<std::string, std::string>> form =
      ordered_form(body, {"__VIEWSTATE", "__EVENTVALIDATION", "bu1"});
  if (!form || (*form)["bu1"] != texts::RESTORE_BUTTON) return recover_page(session, texts::BAD_REQUEST);
  if (!view_state_matches(session, *form)) return recover_page(session, texts::PAGE_EXPIRED);
  std::vector<File> restored = store_.restore_deleted(session.account_id, now() - KEEP_DELETED_SECONDS);
  if (restored.empty()) return recover_page(session, texts::NOTHING_DELETED);
  if (std::optional<Account> a = store_.account_by_id(session.account_id))
    record_change(*a, "W+", restored.front().directory_id);
  return recover_page(session, std::string(texts::RESTORED_BEFORE) + std::to_string(restored.size()) +
                                   texts::RESTORED_AFTER);
}

std::string Site::register_page(Session& session) {
  new_view_state(store_, session);
  auto field = [](const char* label, const char* name, const char* type) {
    return std::string("<p>") + label + "<input name=\"" + name + "\" type=\"" + type + "\" id=\"" +
           name + "\" /></p>\r\n";
  };
  return page(texts::REGISTER_TITLE,
              "<form name=\"form1\" method=\"post\" action=\"register.aspx\" id=\"form1\">\r\n"
              "<input type=\"hidden\" name=\"__EVENTTARGET\" id=\"__EVENTTARGET\" value=\"\" />\r\n"
              "<input type=\"hidden\" name=\"__EVENTARGUMENT\" id=\"__EVENTARGUMENT\" value=\"\" />\r\n" +
                  hidden_state(session) + "<h3>" + texts::REGISTER_TITLE + "</h3>\r\n" +
                  field(texts::BACKEND_ACCOUNT, "tedlmc", "text") + "<p>" + texts::REGISTER_TYPE +
                  "<select name=\"jbxz\" id=\"jbxz\"><option selected=\"selected\" value=\"" + texts::FREE_TYPE +
                  "\">" + texts::FREE_TYPE + "</option></select></p>\r\n" +
                  field(texts::REGISTER_EMAIL, "teem", "text") + field(texts::REGISTER_CONFIRM, "teemqr", "text") +
                  field(texts::BACKEND_PASSWORD, "temm", "password") +
                  field(texts::REGISTER_CONFIRM, "temmqr", "password") + "<p>" + texts::BACKEND_CAPTCHA +
                  "<input name=\"teyzm\" type=\"text\" maxlength=\"4\" id=\"teyzm\" />"
                  "<img src=\"ht/sjzx/cv_vf_img.aspx?lx=zc&amp;sj=0\" alt=\"\" /></p>\r\n"
                  "<p><input type=\"submit\" name=\"tjxx\" value=\"" + texts::REGISTER_BUTTON +
                  "\" id=\"tjxx\" /></p>\r\n</form>");
}

void Site::register_post(Session& session, const std::string& body, Response& res) {
  auto refuse = [&](const char* message) {
    send_page(res, page(texts::REGISTER_TITLE, alert_answer(message) + hidden_state(session)));
  };
  std::optional<std::map<std::string, std::string>> form = ordered_form(
      body, {"__EVENTTARGET", "__EVENTARGUMENT", "__VIEWSTATE", "__EVENTVALIDATION", "tedlmc", "jbxz",
             "teem", "teemqr", "temm", "temmqr", "teyzm", "tjxx"});
  if (!form) return refuse(texts::BAD_REQUEST);
  auto& f = *form;
  if (!view_state_matches(session, f)) return refuse(texts::PAGE_EXPIRED);
  if (!take_captcha(session, "zc", f["teyzm"])) return refuse(texts::CAPTCHA_WRONG);

  const std::string& name = f["tedlmc"];
  auto first_label = [&](const std::string& host) {
    const std::string suffix = "." + host_name(config_.domain);
    const std::string h = host_name(host);
    return h.size() > suffix.size() && h.compare(h.size() - suffix.size(), suffix.size(), suffix) == 0
               ? h.substr(0, h.size() - suffix.size())
               : std::string();
  };
  const bool reserved = name == "www" || name == first_label(config_.main_host) ||
                        name == first_label(config_.shortener_host);
  if (!valid_account_name(name)) return refuse(texts::REGISTER_BAD_ACCOUNT);
  if (reserved || store_.account(name)) return refuse(texts::REGISTER_TAKEN);
  if (f["jbxz"] != texts::FREE_TYPE) return refuse(texts::REGISTER_BAD_TYPE);
  if (!valid_email(f["teem"])) return refuse(texts::REGISTER_BAD_EMAIL);
  if (f["teemqr"] != f["teem"]) return refuse(texts::REGISTER_EMAIL_MISMATCH);
  if (!valid_password(f["temm"])) return refuse(texts::REGISTER_BAD_PASSWORD);
  if (f["temmqr"] != f["temm"]) return refuse(texts::REGISTER_PASSWORD_MISMATCH);

  Account a;
  a.name = name;
  a.password = f["temm"];
  a.email = f["teem"];
  a.quota_mb = FREE_QUOTA_MB;
  a.upload_label = "up" + std::to_string(1 + static_cast<int>(random_token(1)[0]) % 3);
  a.created = now();
  bool added = store_.transaction([&] {
    if (store_.account(name)) return false;  // taken by a registration running alongside
    store_.add_account(a);
    return true;
  });
  if (!added) return refuse(texts::REGISTER_TAKEN);
  res.set_redirect("/zccg.aspx?dlmc=" + name);
  res.set_content(page(texts::REGISTER_DONE, std::string("<p>") + texts::REGISTER_DONE + "</p>"),
                  "text/html; charset=gb2312");
}

}  // namespace corvane::local
