#pragma once
// Small pieces of the web side: form and query decoding, the scripting engine's
// escape() undone, percent-encoding, names the pages can carry safely, tokens, times.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::local {

// %XX becomes its byte and "+" a blank, as a browser form is decoded; a "%" without two
// hex digits stays as it is.
std::string form_decode(std::string_view value);

// The fields of a form posted in a fixed order. The client puts some values in raw, so
// an "&" or "=" inside a value must not split it: each field runs up to "&" + the next
// expected name + "=". Names missing from the body give nullopt (a malformed form).
std::optional<std::map<std::string, std::string>> ordered_form(
    std::string_view body, const std::vector<std::string>& names);

// "a=1&b=2" split at "&" and at the first "=" of each pair, values left undecoded.
std::map<std::string, std::string> raw_query(std::string_view query);

// The inverse of the scripting engine's escape(): %XX is the code point XX, %uXXXX the
// UTF-16 unit XXXX; the result is GBK. nullopt for a malformed escape.
std::optional<std::string> script_unescape(std::string_view escaped);

// Every byte but letters, digits, "-", "." and "_" as %XX (for addresses).
std::string percent_encode(std::string_view bytes);

// Whether a GBK name can be stored and shown: 1 to 100 bytes, well-formed GBK, no control
// characters and none of \ / : * ? " < > | (which no Windows name holds and which would
// break the listing pages), no leading or trailing blank.
bool valid_name(std::string_view name);

// A random token of n characters from [0-9a-z] (session ids, upload codes, keys).
std::string random_token(std::size_t n);
// A random text of n characters from [0-9A-Za-z+/] for view states.
std::string random_view_state(std::size_t n);

// Local time of the machine: "2024-05-01 09:05:03".
std::string format_time(int64_t unix_seconds);

// The file part of a multipart/form-data body: the first part with a filename (or the
// part named "f"). Content points into body. nullopt for a body that does not hold
// such a part up to its closing delimiter.
struct UploadPart {
  std::string filename;  // raw bytes of the filename parameter
  std::string_view content;
};
std::optional<UploadPart> parse_upload_body(std::string_view body, std::string_view content_type);

// A record number: 1 to 18 decimal digits and nothing else.
std::optional<int64_t> parse_id(std::string_view text);

// Text helpers for numbers in pages.
std::string format_fixed(double value, int decimals);
// Size in KB as the listings show it: whole kilobytes, rounded up.
int64_t size_in_kb(int64_t bytes);

// The host name of a Host header or domain, lower case, without the port.
std::string host_name(std::string_view host);

// The value of one cookie in a Cookie header; "" when absent.
std::string cookie_value(std::string_view header, std::string_view name);

// Whether text starts with prefix, ASCII letters compared without case.
bool starts_with_ci(std::string_view text, std::string_view prefix);

// Well-formed HTML escapes for text put into attribute values or elements.
std::string html_escape(std::string_view text);

}  // namespace corvane::local
