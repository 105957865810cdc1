#include "http/url.h"

#include "text/gbk_text.h"

namespace corvane {

std::string host_of_url(std::string_view url, bool keep_port) {
  std::string lowered = ascii_lower(url);
  if (lowered.empty() || lowered.back() != '/') lowered += '/';
  std::string_view marker = "https://";
  if (lowered.compare(0, 8, "https://") != 0) {
    marker = "http://";
    if (!contains(lowered, marker)) lowered.insert(0, marker);
  }
  std::string host = text_between(lowered, marker, "/");
  if (!keep_port) {
    std::size_t colon = find_text(host, ":");
    if (colon != 0) host.resize(colon - 1);
  }
  return host;
}

int port_of_url(std::string_view url) {
  std::string host = host_of_url(url, true);
  std::size_t colon = find_last(host, ":");
  if (colon == 0) return is_secure_url(url) ? 443 : 80;
  long long port = to_integer(std::string_view(host).substr(colon));
  // Out-of-range numbers become 0, which no connection accepts.
  return (port < 0 || port > 65535) ? 0 : static_cast<int>(port);
}

std::string path_of_url(std::string_view url) {
  std::string host = host_of_url(url, false);
  // The host is looked for after the scheme marker: a host such as "h" or "tp" would
  // otherwise be found inside "http://" and the object would start with "//".
  std::size_t scheme_end = find_text(url, "://");
  long from = scheme_end == 0 ? 1 : static_cast<long>(scheme_end + 3);
  std::size_t at = host.empty() ? 0 : find_text(url, host, from, true);
  std::size_t slash = find_text(url, "/", at == 0 ? from : static_cast<long>(at), true);
  if (slash == 0) return "/";
  return std::string(url.substr(slash - 1));
}

bool is_secure_url(std::string_view url) {
  return ascii_lower(url.substr(0, 5)) == "https";
}

}  // namespace corvane
