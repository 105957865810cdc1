// The pages of a space's host: the home page with its content frame, the frame itself,
// the status page the client polls, the captcha image, and the listing answers of the
// frame's form. Listings travel as the value of the hidden field Yz1, one line of HTML
// with single quotes only, which the client cuts apart with patterns.
#include <httplib.h>

#include <algorithm>

#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"

namespace corvane::local {

namespace {

// A transparent 1x1 GIF for every icon of the pages.
const std::string PIXEL_GIF(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF\x21\xF9\x04\x01\x00\x00\x00"
    "\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
    43);

std::string lower_extension(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

// The icon of a file on the pages (a browser's view; the client picks its own icons).
std::string icon_of(const std::string& name) {
  static const std::pair<const char*, const char*> TABLE[] = {
      {"txt", "txt"}, {"doc", "doc"},  {"docx", "doc"}, {"xls", "xls"}, {"xlsx", "xls"},
      {"jpg", "tp"},  {"jpeg", "tp"},  {"png", "tp"},   {"bmp", "tp"},  {"gif", "tp"},
      {"ico", "tp"},  {"mp3", "yy"},   {"wav", "yy"},   {"mid", "yy"},  {"wma", "yy"},
      {"mp4", "sp"},  {"avi", "sp"},   {"rmvb", "sp"},  {"3gp", "sp"},  {"wmv", "sp"},
      {"flv", "sp"},  {"rar", "ys"},   {"zip", "ys"},   {"7z", "ys"},   {"exe", "cx"}};
  const std::string ext = lower_extension(name);
  for (const auto& [e, icon] : TABLE)
    if (ext == e) return std::string(icon) + ".gif";
  return "wj.gif";
}

}  // namespace

void Site::space_get(const Account& account, const Request& req, Response& res) {
  const std::string& path = req.path;
  if (path == "/" || path == "/index.aspx" || path == "/default.aspx") return home_page(account, req, res);
  if (path == "/cx/kj.aspx") return frame_page(account, req, res);
  if (path == "/C_zxsj.aspx") return status_page(account, req, res);
  if (path == "/sjzx/cv_vf_img.aspx") {
    Session session = session_for(req, res, "space", account.id);
    captcha_image(session, "ly", res);
    return;
  }
  if (path.rfind("/xz/", 0) == 0) return download(account, req, res);
  if (path == "/note/fd.htm") return note_page(req, res);
  if (path.rfind("/img/", 0) == 0) {
    res.set_content(PIXEL_GIF, "image/gif");
    return;
  }
  if (path == "/css/cv.css") {
    res.set_content("body{font-size:12px;font-family:SimSun;}li{list-style:none;}", "text/css");
    return;
  }
  send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"), 404);
}

void Site::home_page(const Account& account, const Request& req, Response& res) {
  session_for(req, res, "space", account.id);
  const std::string frame = "http://" + space_host(account) + "/cx/kj.aspx?dlmc=" + account.name;
  const int64_t online = static_cast<int64_t>(store_.sessions_seen(account.id, now() - ONLINE_SECONDS).size());
  std::string body =
      "<div id=\"top\"><h2>" + account.name + texts::TITLE_SUFFIX + "</h2>\r\n<div id=\"zt\">" +
      texts::SPACE_SIZE_LABEL + "<label id=\"kjz1\">" + std::to_string(account.quota_mb) +
      "</label>M " + texts::FREE_LABEL + "<label id=\"kjz2\">" + format_fixed(free_mb(account), 2) +
      "</label>M " + texts::ONLINE_LABEL + "<label id=\"zxrs\">" + std::to_string(online) +
      "</label>" + texts::PERSONS + "</div></div>\r\n"
      "<iframe id=\"frxcx\" src=\"" + frame + "\" width=\"100%\" height=\"560\" frameborder=\"0\" "
      "scrolling=\"auto\"></iframe>\r\n"
      "<script type=\"text/javascript\">\r\n"
      "function ymbgz(id, v) { var e = document.getElementById(id); if (e) e.innerHTML = v; }\r\n"
      "var _CK = { yzck: { z: { a: function () { document.getElementById('yzm').style.display = 'block'; } } } };\r\n"
      "</script>\r\n<div id=\"yzm\" style=\"display:none\"><img src=\"/sjzx/cv_vf_img.aspx?lx=" +
      account.name + "ly&sj=0\" /></div>\r\n<p class=\"bq\">" + texts::SITE_NAME + "</p>";
  send_page(res, page(account.name + texts::TITLE_SUFFIX, body));
}

void Site::frame_page(const Account& account, const Request& req, Response& res) {
  Session session = session_for(req, res, "space", account.id);
  std::string body =
      "<form id=\"Q\" name=\"Q\" method=\"post\" action=\"kj.aspx?dlmc=" + account.name + "\">\r\n"
      "<input type=\"hidden\" id=\"Yz0\" name=\"Yz0\" value=\"\"/>"
      "<input type=\"hidden\" id=\"Yz1\" name=\"Yz1\" value=\"\"/>"
      "<input type=\"hidden\" id=\"Yz2\" name=\"Yz2\" value=\"\"/>"
      "<input type=\"hidden\" id=\"Yz3\" name=\"Yz3\" value=\"\"/>"
      "<input type=\"hidden\" id=\"Yz4\" name=\"Yz4\" value=\"\"/>\r\n</form>\r\n"
      "<div id=\"lb\"></div>\r\n"
      "<script type=\"text/javascript\">\r\n"
      "var Q = { f_s: '', gly: " + std::string(session.owner ? "1" : "0") + ",\r\n"
      "  tj: function (a, b, c, d, e) { var f = document.getElementById('Q');\r\n"
      "    f.Yz0.value = a; f.Yz1.value = b; f.Yz2.value = c; f.Yz3.value = d; f.Yz4.value = e; f.submit(); } };\r\n"
      "parent.ymbgz('kjz2', '" + format_fixed(free_mb(account), 2) + "');\r\n"
      "Q.tj('ml_dq', '', '', '', '');\r\n</script>";
  send_page(res, page(account.name + texts::TITLE_SUFFIX, body));
}

void Site::status_page(const Account& account, const Request& req, Response& res) {
  Session session = session_for(req, res, "space", account.id);
  const int64_t online = static_cast<int64_t>(store_.sessions_seen(account.id, now() - ONLINE_SECONDS).size());
  // Each session hears of a change once: the latest one since its last look.
  std::string record;
  if (std::optional<Change> c = store_.change_after(account.id, session.change_seen)) {
    record = c->code + "," + std::to_string(c->directory_id) + ";";
    store_.update_session(session.id, [&](Session& s) { s.change_seen = c->serial; });
  }
  res.set_header("Cache-Control", "no-cache");
  res.set_content("var cv_zxsj = {zx:\"" + std::to_string(online) + "\",gx:\"" + record + "\"};\r\n",
                  "text/html; charset=gb2312");
}

std::string Site::directory_list_page(const Account& account) {
  std::string list;
  for (const Directory& d : store_.directories(account.id)) {
    const bool locked = !d.password.empty();
    const std::size_t count = store_.files(d.id).size();
    list += "<li id='x" + std::to_string(d.id) + "_" + (locked ? "1" : "0") +
            "|ml'><table cellspacing=0 cellpadding=0 class='mlb'><tr><td><img src='/img/ico/" +
            (locked ? "mlm.gif" : "ml.gif") + "'/></td><td><a href='javascript:;' class='mlmc'>" +
            d.name + "</a><label>(" + std::to_string(count) + ")" +
            (locked ? texts::ENCRYPTED : "") + "</label></td></tr></table></li>";
  }
  return "<input type=\"hidden\" id=\"Yz0\" name=\"Yz0\" value=\"ml_dq\"/>\r\n"
         "<input type=\"hidden\" id=\"Yz1\" name=\"Yz1\" value=\"" + list + "\"/>\r\n"
         "<script type=\"text/javascript\">parent.ymbgz('kjz2', '" + format_fixed(free_mb(account), 2) +
         "');</script>\r\n";
}

std::string Site::file_list_page(const Account& account, const Directory& d, bool owner) {
  std::vector<File> files = store_.files(d.id);
  // Sub-directories first, in the order of their first file; the client reads a
  // sub-directory block from its icon up to its list, so no file may stand between.
  std::vector<std::string> subdirectories;
  for (const File& f : files)
    if (!f.subdirectory.empty() &&
        std::find(subdirectories.begin(), subdirectories.end(), f.subdirectory) == subdirectories.end())
      subdirectories.push_back(f.subdirectory);
  auto item = [&](const File& f) {
    return "<li><img src='/img/ico/" + icon_of(f.name) + "' id=w_" + std::to_string(f.id) +
           " onclick='Q.xz(this)'><a href='/note/fd.htm?" + download_address(account, f) +
           "' title='" + texts::UPLOAD_TIME + format_time(f.uploaded) +
           "' class='wj' target='_blank'>" + f.name + " " + std::to_string(size_in_kb(f.size)) +
           "KB</a></li>";
  };
  std::string list;
  for (const std::string& sub : subdirectories) {
    list += "<li><img src='/img/ico/ml.gif' onclick='Q.zk(this)'/><a href='javascript:;' class='zml'>" +
            sub + "</a><ul id='m_" + std::to_string(d.id) + "_" + sub + "' class='zwj'>";
    for (const File& f : files)
      if (f.subdirectory == sub) list += item(f);
    list += "</ul></li>";
  }
  for (const File& f : files)
    if (f.subdirectory.empty()) list += item(f);
  // Visitors never see the upload code: the upload server trusts the code alone.
  const std::string code = owner ? d.upload_code : std::string();
  return "<input type=\"hidden\" id=\"Yz0\" name=\"Yz0\" value=\"dq\"/>\r\n"
         "<input type=\"hidden\" id=\"Yz1\" name=\"Yz1\" value=\"" + list + "\"/>\r\n"
         "<script type=\"text/javascript\">Q.f_s='" + upload_host(account) + "';Q.sc(" +
         std::to_string(d.id) + ",0,'" + code + "');</script>\r\n";
}

std::string Site::online_page(const Account& account, const Session& session) {
  const int64_t t = now();
  std::string rows;
  int n = 0;
  for (const Session& s : store_.sessions_seen(account.id, t - ONLINE_SECONDS)) {
    const int64_t seconds = std::max<int64_t>(0, s.last_seen - s.created);
    std::string row = "<tr><td>" + std::to_string(++n) + "</td><td>" + s.ip + "</td><td>" +
                      format_time(s.created) + "</td><td align=right>" +
                      std::to_string(seconds / 60) + texts::MINUTES + std::to_string(seconds % 60) +
                      texts::SECONDS + "</td></tr>";
    // The asking visitor's own row in blue.
    rows += (s.id == session.id ? "<font color=blue>" + row + "</font>" : row) + "\r\n";
  }
  return std::string("<table class='zxlb'>\r\n<tr><th></th><th>") + texts::COL_IP + "</th><th>" +
         texts::COL_ENTERED + "</th><th>" + texts::COL_ONLINE + "</th></tr>\r\n" + rows + "</table>\r\n";
}

std::string Site::download_records_page(const Account& account, int64_t page_number) {
  const int64_t total = store_.download_count(account.id);
  const int64_t pages = std::max<int64_t>(1, (total + DOWNLOADS_PER_PAGE - 1) / DOWNLOADS_PER_PAGE);
  page_number = std::clamp<int64_t>(page_number, 1, pages);
  std::string rows;
  for (const DownloadRecord& r :
       store_.downloads(account.id, (page_number - 1) * DOWNLOADS_PER_PAGE, DOWNLOADS_PER_PAGE)) {
    const double seconds = static_cast<double>(r.millis) / 1000.0;
    const double kb = static_cast<double>(r.amount) / 1024.0;
    const double speed = seconds > 0 ? kb / seconds : kb;
    rows += "<tr><td>" + format_time(r.time) + "</td><td>" + r.ip + "</td><td></td><td>" +
            r.file_name + "</td><td align=right>" + format_fixed(kb, 2) +
            "KB</td><td align=right>" + format_fixed(speed, 2) + "KB/s</td><td align=right>" +
            format_fixed(seconds, 2) + texts::SECONDS + "</td></tr>\r\n";
  }
  const std::string paging = std::to_string(page_number) + "," + std::to_string(DOWNLOADS_PER_PAGE) +
                             "," + std::to_string(pages) + "," + std::to_string(total);
  return std::string("<table class='xzjl'>\r\n<tr><th>") + texts::COL_DL_TIME + "</th><th>" +
         texts::COL_DL_IP + "</th><th></th><th>" + texts::COL_DL_NAME + "</th><th>" +
         texts::COL_DL_AMOUNT + "</th><th>" + texts::COL_DL_SPEED + "</th><th>" +
         texts::COL_DL_TAKEN + "</th></tr>\r\n" + rows + "</table>\r\n<div class='fy'>" +
         "<script type=\"text/javascript\">D_xzlb_i.clfy('" + paging + "');</script>" +
         "<a href='javascript:;' onclick='D_xzlb_i.fy(" + std::to_string(page_number - 1) + ")'>" +
         texts::PREVIOUS_PAGE + "</a> <a href='javascript:;' onclick='D_xzlb_i.fy(" +
         std::to_string(page_number + 1) + ")'>" + texts::NEXT_PAGE + "</a></div>\r\n";
}

void Site::note_page(const Request& req, Response& res) {
  // "/note/fd.htm?<address>": a landing page with a link to the download, for browsers.
  std::size_t q = req.target.find('?');
  std::string address = q == std::string::npos ? std::string() : req.target.substr(q + 1);
  const std::string own = "." + host_name(config_.domain);
  std::string host = address.rfind("http://", 0) == 0 ? address.substr(7, address.find('/', 7) - 7) : "";
  host = host_name(host);
  if (host.size() <= own.size() || host.compare(host.size() - own.size(), own.size(), own) != 0) {
    send_page(res, page(texts::FILE_MISSING, std::string("<p>") + texts::FILE_MISSING + "</p>"), 404);
    return;
  }
  send_page(res, page(texts::DOWNLOAD_TITLE, std::string("<p><a href=\"") + html_escape(address) +
                                                 "\">" + texts::DOWNLOAD_CLICK + "</a></p>"));
}

void Site::space_post(const Account& account, const Request& req, Response& res) {
  if (req.path != "/cx/kj.aspx") {
    send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"), 404);
    return;
  }
  Session session = session_for(req, res, "space", account.id);
  std::optional<std::map<std::string, std::string>> form =
      ordered_form(req.body, {"Yz0", "Yz1", "Yz2", "Yz3", "Yz4"});
  if (!form) {
    send_page(res, alert_answer(texts::BAD_REQUEST), 400);
    return;
  }
  const std::string f[5] = {(*form)["Yz0"], (*form)["Yz1"], (*form)["Yz2"], (*form)["Yz3"],
                            (*form)["Yz4"]};
  send_page(res, form_operation(account, session, f));
}

}  // namespace corvane::local
