#include "service/endpoints.h"

#include <cstdlib>
#include <mutex>

namespace corvane {

namespace {

std::mutex& endpoints_mutex() {
  static std::mutex m;
  return m;
}

Endpoints& endpoints_value() {
  static Endpoints e = default_endpoints();
  return e;
}

std::string from_environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

Endpoints default_endpoints(const std::string& domain) {
  return Endpoints{domain, "www." + domain, "s." + domain};
}

Endpoints resolve_endpoints(const std::string& domain, const std::string& main_host,
                            const std::string& shortener_host) {
  auto pick = [](const std::string& given, const char* variable) {
    return given.empty() ? from_environment(variable) : given;
  };
  std::string d = pick(domain, "CORVANE_DOMAIN");
  Endpoints e = default_endpoints(d.empty() ? DEFAULT_SERVICE_DOMAIN : d);
  std::string m = pick(main_host, "CORVANE_MAIN_HOST");
  std::string s = pick(shortener_host, "CORVANE_SHORTENER_HOST");
  if (!m.empty()) e.service_main_host = m;
  if (!s.empty()) e.shortener_host = s;
  return e;
}

void set_endpoints(const Endpoints& endpoints) {
  std::lock_guard lock(endpoints_mutex());
  endpoints_value() = endpoints;
}

Endpoints current_endpoints() {
  std::lock_guard lock(endpoints_mutex());
  return endpoints_value();
}

std::string SERVICE_DOMAIN() { return current_endpoints().service_domain; }
std::string SERVICE_MAIN_HOST() { return current_endpoints().service_main_host; }
std::string SHORTENER_HOST() { return current_endpoints().shortener_host; }

}  // namespace corvane
