#include "http/cookie_store.h"

#include <curl/curl.h>

#include <mutex>

namespace corvane {

namespace {

struct CookieStore {
  CURLSH* share = nullptr;
  // libcurl asks for one kind of data at a time; separate mutexes let a DNS look-up
  // proceed while another thread reads cookies.
  std::mutex locks[CURL_LOCK_DATA_LAST];
};

void lock_data(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CookieStore*>(user)->locks[data].lock();
}

void unlock_data(CURL*, curl_lock_data data, void* user) {
  static_cast<CookieStore*>(user)->locks[data].unlock();
}

CookieStore& store() {
  // Never destroyed: worker threads are detached and may fetch during process exit.
  static CookieStore* instance = [] {
    ensure_curl_initialized();
    auto* s = new CookieStore;
    s->share = curl_share_init();
    if (s->share) {
      curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, lock_data);
      curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, unlock_data);
      curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
      curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    return s;
  }();
  return *instance;
}

}  // namespace

bool ensure_curl_initialized() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

void attach_cookie_store(void* easy_handle) {
  CURL* easy = static_cast<CURL*>(easy_handle);
  CookieStore& s = store();
  if (s.share) curl_easy_setopt(easy, CURLOPT_SHARE, s.share);
  // An empty file name switches the cookie engine on without reading any file.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
}

void clear_cookie_store() {
  CookieStore& s = store();
  if (!s.share) return;
  CURL* easy = curl_easy_init();
  if (!easy) return;
  curl_easy_setopt(easy, CURLOPT_SHARE, s.share);
  curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
  curl_easy_cleanup(easy);
}

}  // namespace corvane
