// Files in and out: the upload servers ("cv-<label>." + domain), the download addresses
// of the listings, and the address shortener.
#include <httplib.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "localservice/site.h"
#include "localservice/texts.h"
#include "localservice/web.h"
#include "platform/codepage.h"

namespace corvane::local {

namespace {

// The upload answer names its outcome as a status digit for the page's script; only a
// success carries the text of code 3.
std::string upload_answer(const std::string& zt, const std::string& text) {
  return page(texts::SITE_NAME, "<script type=\"text/javascript\">var zt = '" + zt +
                                    "'; parent.Q.scwc(zt);</script>\r\n<p>" + text + "</p>");
}

bool write_whole_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  return static_cast<bool>(out);
}

bool under_domain(const std::string& address, const std::string& domain) {
  if (address.rfind("http://", 0) != 0) return false;
  std::size_t end = address.find_first_of("/?#", 7);
  std::string host = host_name(address.substr(7, end == std::string::npos ? std::string::npos : end - 7));
  const std::string own = host_name(domain);
  return host.size() > own.size() && host.compare(host.size() - own.size() - 1, own.size() + 1, "." + own) == 0;
}

}  // namespace

void Site::upload(const std::string& label, const Request& req, Response& res) {
  // Each refusal text starts with its status digit.
  auto refuse = [&](const char* text) { send_page(res, upload_answer(std::string(1, text[0]), text)); };
  const std::size_t q = req.target.find('?');
  std::map<std::string, std::string> query =
      raw_query(q == std::string::npos ? std::string_view() : std::string_view(req.target).substr(q + 1));

  // p = "03" + the directory's upload code + "0"; the code alone names the directory.
  const std::string& p = query["p"];
  if (p.size() < 4 || p.compare(0, 2, "03") != 0 || p.back() != '0') return refuse(texts::UPLOAD_FAILED);
  std::optional<Directory> d = store_.directory_by_upload_code(p.substr(2, p.size() - 3));
  std::optional<Account> account = d ? store_.account_by_id(d->account_id) : std::nullopt;
  if (!account || label != account->upload_label ||
      host_name(query["ly"]) != host_name(space_host(*account)))
    return refuse(texts::UPLOAD_FAILED);

  std::optional<UploadPart> part =
      parse_upload_body(req.body, req.get_header_value(RAW_CONTENT_TYPE_HEADER));
  if (!part) return refuse(texts::UPLOAD_FAILED);
  std::optional<std::string> name = script_unescape(query["f"]);
  std::optional<std::string> subdirectory = script_unescape(query["l"]);
  if (!name || !subdirectory) return refuse(texts::UPLOAD_FAILED);
  // The form's filename is the file's own name byte for byte; the address's copy went
  // through the page script's escaping, which turns an apostrophe into a typographic one.
  if (valid_name(part->filename)) *name = part->filename;
  if (!valid_name(*name)) return refuse(texts::UPLOAD_FAILED);
  // "_" separates the parts of a sub-directory's ids; see space_forms.cpp.
  if (!subdirectory->empty() && (!valid_name(*subdirectory) || subdirectory->find('_') != std::string::npos))
    return refuse(texts::UPLOAD_FAILED);
  const int64_t size = static_cast<int64_t>(part->content.size());
  if (size > UPLOAD_LIMIT) return refuse(texts::UPLOAD_TOO_LARGE);

  // The contents first, under a name no record knows yet; the record after, so that a
  // failure on either side leaves nothing behind.
  const std::string blob = random_token(24);
  const std::filesystem::path temporary = blob_path("tmp-" + blob);
  std::error_code ec;
  if (!write_whole_file(temporary, part->content)) {
    std::filesystem::remove(temporary, ec);
    return refuse(texts::UPLOAD_FAILED);
  }
  std::filesystem::rename(temporary, blob_path(blob), ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return refuse(texts::UPLOAD_FAILED);
  }
  const char* refusal = texts::UPLOAD_FAILED;
  bool stored = false;
  try {
    stored = store_.transaction([&] {
      std::optional<Account> fresh = store_.account_by_id(account->id);
      if (!fresh || !store_.directory(account->id, d->id)) return false;
      if (store_.used_bytes(account->id) + size > fresh->quota_mb * 1024 * 1024) {
        refusal = texts::UPLOAD_NO_SPACE;
        return false;
      }
      File f;
      f.account_id = account->id;
      f.directory_id = d->id;
      f.subdirectory = *subdirectory;
      f.name = *name;
      f.size = size;
      f.uploaded = now();
      f.blob = blob;
      f.access_key = random_token(12);
      store_.add_file(f);
      return true;
    });
  } catch (...) {
    stored = false;
  }
  if (!stored) {
    std::filesystem::remove(blob_path(blob), ec);
    return refuse(refusal);
  }
  record_change(*account, "W+", d->id);
  send_page(res, upload_answer("3", texts::UPLOAD_DONE));
}

void Site::download(const Account& account, const Request& req, Response& res) {
  // "/xz/<file id>/<key>/<name>": the key makes the address unguessable, so a file of a
  // protected directory is reachable only through a listing that showed it.
  auto missing = [&] {
    send_page(res, page(texts::FILE_MISSING, std::string("<p>") + texts::FILE_MISSING + "</p>"), 404);
  };
  std::string rest = req.path.substr(4);
  std::size_t a = rest.find('/');
  std::size_t b = a == std::string::npos ? std::string::npos : rest.find('/', a + 1);
  if (b == std::string::npos) return missing();
  std::optional<int64_t> id = parse_id(rest.substr(0, a));
  std::optional<File> f = id ? store_.file(account.id, *id) : std::nullopt;
  if (!f || f->access_key != rest.substr(a + 1, b - a - 1)) return missing();

  const std::filesystem::path path = blob_path(f->blob);
  auto in = std::make_shared<std::ifstream>(path, std::ios::binary);
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  if (!*in || ec) return missing();

  struct Progress {
    int64_t sent = 0;
    bool recorded = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  };
  auto progress = std::make_shared<Progress>();
  const bool counted = req.method == "GET";
  DownloadRecord record;
  record.time = now();
  record.ip = req.remote_addr;
  record.file_name = f->name;
  const int64_t account_id = account.id;
  Store* store = &store_;
  // The record is written once: before the last piece goes out (so a client that has
  // the whole file also finds its record), or when an unfinished transfer ends.
  auto write_record = [store, progress, counted, record, account_id]() mutable {
    if (!counted || progress->recorded) return;
    progress->recorded = true;
    record.amount = progress->sent;
    record.millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - progress->start)
                        .count();
    try {
      store->add_download(account_id, record);
    } catch (...) {
      // A record that cannot be written must not take the server down.
    }
  };
  const auto total = static_cast<int64_t>(length);

  res.set_header("Content-Disposition",
                 "attachment; filename*=UTF-8''" + percent_encode(platform::gbk_to_utf8(f->name)));
  res.set_content_provider(
      static_cast<std::size_t>(length), "application/octet-stream",
      [in, progress, write_record, total](std::size_t offset, std::size_t size,
                                         httplib::DataSink& sink) mutable {
        // Pieces of at most 64 KB: the file is never held whole.
        char buffer[65536];
        in->clear();
        in->seekg(static_cast<std::streamoff>(offset));
        const std::size_t want = std::min(size, sizeof buffer);
        in->read(buffer, static_cast<std::streamsize>(want));
        const std::streamsize got = in->gcount();
        if (got <= 0) return false;
        if (static_cast<int64_t>(offset) + got == total) {
          progress->sent += got;
          write_record();
          return sink.write(buffer, static_cast<std::size_t>(got));
        }
        if (!sink.write(buffer, static_cast<std::size_t>(got))) return false;
        progress->sent += got;
        return true;
      },
      [write_record](bool) mutable { write_record(); });
}

void Site::shortener(const Request& req, Response& res) {
  if (req.path == "/index.php") {
    // The address is everything after "url=", unencoded, "&" and "?" included.
    std::size_t at = req.target.find("&url=");
    if (at == std::string::npos) at = req.target.find("?url=");
    const std::string address = at == std::string::npos ? std::string() : req.target.substr(at + 5);
    if (!under_domain(address, config_.domain) || address.size() > 2000 ||
        address.find_first_of("\"\\ \r\n") != std::string::npos) {
      res.set_content("{\"status\":\"error\",\"message\":\"invalid address\"}", "application/json");
      return;
    }
    std::optional<std::string> code = store_.short_code_for(address);
    for (int attempt = 0; !code && attempt < 20; ++attempt) {
      std::string candidate = random_token(6);
      if (store_.add_short_link(candidate, address, now())) code = candidate;
      else code = store_.short_code_for(address);  // another request may have made it
    }
    if (!code) {
      res.status = 500;
      res.set_content("{\"status\":\"error\"}", "application/json");
      return;
    }
    res.set_content("{\"url\":\"http://" + config_.shortener_host + "/" + *code +
                        "\",\"status\":\"ok\"}",
                    "application/json");
    return;
  }
  if (req.path.size() > 1) {
    if (std::optional<std::string> address = store_.short_link(req.path.substr(1))) {
      res.set_redirect(*address);
      return;
    }
  }
  send_page(res, page(texts::PAGE_MISSING, std::string("<p>") + texts::PAGE_MISSING + "</p>"),
            req.path == "/" ? 200 : 404);
}

}  // namespace corvane::local
