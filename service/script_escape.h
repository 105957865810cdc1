#pragma once
// The escaping the service's own upload scripts apply to names in an address: the text
// is read as the body of a single-quoted script string literal (so backslash escapes
// take effect) and then passed through the script escape() function.
#include <string>
#include <string_view>

namespace corvane {

// Escapes text (GBK) as the upload address expects it:
//  - every "'" first becomes "’" (leaving as %u2019), so it cannot end the literal;
//  - backslash escapes are read as the old script engine reads them in a string
//    literal: \b \f \n \r \t, "\v" as the letter v, octal escapes (\0, up to three
//    digits below \400), \xHH, \uHHHH (short of hex digits: the letter itself), a
//    backslash before a line break joins the lines, any other escaped character stands
//    for itself;
//  - escape(): letters, digits and @ * _ + - . / stay, any other character below U+0100
//    becomes %XX, any other UTF-16 code unit %uXXXX (upper-case hex).
// Inputs the real script statement would reject still give a useful result: a raw CR or
// LF leaves as %0D / %0A, and a lone backslash at the very end as %5C.
// Then, on request, %7B %7D %5B %5D go back to { } [ ] (restore_brackets), %3A %2C %22
// to : , " (restore_punctuation), and every "%u" becomes percent_u (when it is neither
// "%u" nor blank). Finally any "’" brought in by percent_u becomes "'". The result is
// ASCII apart from what percent_u brings in.
std::string script_escape(std::string_view text, bool restore_brackets = false,
                          bool restore_punctuation = false, std::string_view percent_u = "");

}  // namespace corvane
