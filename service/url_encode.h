#pragma once
// Percent-encoding of form values and the success test shared by the space's edit and
// delete operations.
#include <string>
#include <string_view>

namespace corvane {

// Percent-encodes a GBK text byte by byte: "-", ".", digits and ASCII letters stay, every
// other byte (space, "_", "~", "/", each byte of a double-byte character) becomes "%"
// and two upper-case hex digits. A space is %20, never "+".
std::string url_encode(std::string_view text);

// Encodes only the bytes that change the shape of a form body or its decoded value:
// "&" and "=" (field separators), "%" (an escape) and "+" (a space once decoded).
// Everything else, double-byte characters included, stays raw. None of these bytes can
// be the trail byte of a GBK character, so no character is ever split.
std::string escape_form_delimiters(std::string_view text);

// The marker the service's frame answers with after a change it carried out.
inline constexpr std::string_view OPERATION_SUCCESS_MARKER = "parent.Q.f_s=";

// True when the answer holds the success marker anywhere (case-sensitive); an empty
// answer (a failed request) is a failure.
bool operation_succeeded(std::string_view answer);

}  // namespace corvane
