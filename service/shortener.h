#pragma once
// The address shortener, shared by the desktop client's copy-address command and the
// command-line client: a plain request to the shortening service with the file's
// download address appended as it stands.
#include <string>
#include <string_view>

namespace corvane {

// "http://" + SHORTENER_HOST() + "/index.php?info=api&alias=&url=" + address.
std::string shortener_request_url(std::string_view address);

// The short address in the shortener's answer: the text after the first url":" up to the
// next double quote, used exactly as cut out (escaped slashes stay escaped); "" when the
// marker is missing.
std::string short_address_of(std::string_view answer);

// Asks the shortener for a short form of address; "" when the request failed or the
// answer holds none.
std::string shorten_address(const std::string& address);

}  // namespace corvane
