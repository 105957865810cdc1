#pragma once
// Where the service lives. The built-in names sit under a reserved domain, so nothing
// ever reaches somebody else's host by accident; the command line and CORVANE_*
// variables point the client at a real or local service. A domain under .localhost
// (for example corvane.localhost:18080) reaches a server on this machine without any
// change to /etc/hosts, because the HTTP layer resolves such names to loopback.
#include <string>

namespace corvane {

inline constexpr const char* DEFAULT_SERVICE_DOMAIN = "corvane.example";

struct Endpoints {
  std::string service_domain;     // spaces are "<account>." + this
  std::string service_main_host;  // back end and registration
  std::string shortener_host;     // address shortener
};

// The defaults: the main host is "www." + domain, the shortener "s." + domain.
Endpoints default_endpoints(const std::string& domain = DEFAULT_SERVICE_DOMAIN);

// Resolves the endpoints from explicit values (empty = not given), then the environment
// (CORVANE_DOMAIN, CORVANE_MAIN_HOST, CORVANE_SHORTENER_HOST), then the defaults. A main
// host or shortener not given anywhere follows the chosen domain.
Endpoints resolve_endpoints(const std::string& domain, const std::string& main_host,
                            const std::string& shortener_host);

// The process-wide values, set at start-up (and by tests); reads return copies.
void set_endpoints(const Endpoints& endpoints);
Endpoints current_endpoints();

std::string SERVICE_DOMAIN();
std::string SERVICE_MAIN_HOST();
std::string SHORTENER_HOST();

}  // namespace corvane
