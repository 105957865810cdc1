#pragma once
// Splitting a page address into the parts a request is made of. The rules are the
// service client's own, not RFC 3986: they take the text between the scheme marker and
// the next "/" as the host, which is all the service's addresses ever need.
#include <string>
#include <string_view>

namespace corvane {

// The lower-case host of url ("http://" is assumed when the address holds no scheme
// marker). With keep_port the ":port" suffix stays.
std::string host_of_url(std::string_view url, bool keep_port = false);

// The port of url: the number after the host's last ":", else 443 for an address that
// begins with "https" (any letter case) and 80 otherwise.
int port_of_url(std::string_view url);

// The object sent in the request line: everything from the first "/" after the host,
// letter case unchanged; "/" when the address has no path.
std::string path_of_url(std::string_view url);

// True when the address asks for TLS: its first five characters, lower-cased, are "https".
bool is_secure_url(std::string_view url);

}  // namespace corvane
