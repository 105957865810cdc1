#include "service/regex_matcher.h"

#include <pcre2.h>

#include "platform/codepage.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

constexpr std::size_t UNSET = static_cast<std::size_t>(-1);

// The dialect of the page parsers' patterns: \uHHHH and \xHH as in JavaScript, a
// reference to a group that did not take part matches the empty text, "$" without
// multiline only at the very end, "[]" matches nothing and "[^]" anything.
constexpr uint32_t BASE_OPTIONS = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF |
                                  PCRE2_DOLLAR_ENDONLY | PCRE2_ALLOW_EMPTY_CLASS;

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Offset of the character after the one starting at i; a surrogate pair is one character.
std::size_t next_character(std::u16string_view s, std::size_t i) {
  if (i + 1 < s.size() && is_high_surrogate(s[i]) && is_low_surrogate(s[i + 1])) return i + 2;
  return i + 1;
}

PCRE2_SPTR16 code_units(std::u16string_view s) {
  return reinterpret_cast<PCRE2_SPTR16>(s.data());
}

}  // namespace

struct RegexMatcher::Engine {
  pcre2_compile_context* compile_context = nullptr;
  pcre2_code* code = nullptr;
  pcre2_match_data* match_data = nullptr;
  // Deeply backtracking patterns outgrow the JIT's small default stack; a larger one is
  // made on first need and kept for the matcher's later creates.
  pcre2_match_context* match_context = nullptr;
  pcre2_jit_stack* jit_stack = nullptr;

  Engine() {
    compile_context = pcre2_compile_context_create(nullptr);
    // The old script engine ends a line at LF and at CR alike ("^" after either, "$"
    // before either, "." matching neither). ANYCRLF gives exactly that set, with one
    // difference that no pattern here depends on: CR LF counts as a single break, so
    // "^" and "$" do not also match between its two characters. The wider ANY set would
    // wrongly add VT, FF and NEL; U+2028 and U+2029 cannot occur in a GBK subject.
    if (compile_context) pcre2_set_newline(compile_context, PCRE2_NEWLINE_ANYCRLF);
  }
  ~Engine() {
    release();
    pcre2_match_context_free(match_context);
    pcre2_jit_stack_free(jit_stack);
    pcre2_compile_context_free(compile_context);
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  bool grow_jit_stack() {
    if (jit_stack) return false;
    if (!match_context) match_context = pcre2_match_context_create(nullptr);
    if (!match_context) return false;
    jit_stack = pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr);
    if (!jit_stack) return false;
    pcre2_jit_stack_assign(match_context, nullptr, jit_stack);
    return true;
  }

  int match(std::u16string_view subject, std::size_t from, uint32_t options) {
    int rc = pcre2_match(code, code_units(subject), subject.size(), from, options, match_data,
                         match_context);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT && grow_jit_stack())
      rc = pcre2_match(code, code_units(subject), subject.size(), from, options, match_data,
                       match_context);
    // Still too deep for the JIT: the interpreter keeps its backtracking on the heap.
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
      rc = pcre2_match(code, code_units(subject), subject.size(), from, options | PCRE2_NO_JIT,
                       match_data, match_context);
    return rc;
  }

  void release() {
    pcre2_match_data_free(match_data);
    match_data = nullptr;
    pcre2_code_free(code);
    code = nullptr;
  }
};

RegexMatcher::RegexMatcher() : engine_(std::make_unique<Engine>()) {}

RegexMatcher::~RegexMatcher() = default;

bool RegexMatcher::create(std::string_view pattern, std::string_view subject,
                          bool case_sensitive, bool multiline, bool global, bool quote_token) {
  uint32_t options = BASE_OPTIONS;
  if (!case_sensitive) options |= PCRE2_CASELESS;
  if (multiline) options |= PCRE2_MULTILINE;

  engine_->release();
  has_collection_ = false;
  offsets_.clear();
  group_count_ = 0;

  pattern_ = platform::gbk_to_utf16(quote_token ? replace_all(pattern, QUOTE_TOKEN, "\"")
                                                : std::string(pattern));
  has_pattern_ = true;
  subject_ = platform::gbk_to_utf16(subject);

  int error = 0;
  PCRE2_SIZE error_offset = 0;
  engine_->code = pcre2_compile(code_units(pattern_), pattern_.size(), options, &error,
                                &error_offset, engine_->compile_context);
  if (!engine_->code) return false;
  // Listing pages run to megabytes; the compiled matcher is several times faster. When
  // JIT is not available the interpreter runs the same pattern.
  pcre2_jit_compile(engine_->code, PCRE2_JIT_COMPLETE);
  engine_->match_data = pcre2_match_data_create_from_pattern(engine_->code, nullptr);
  if (!engine_->match_data) return false;

  uint32_t captures = 0;
  pcre2_pattern_info(engine_->code, PCRE2_INFO_CAPTURECOUNT, &captures);
  group_count_ = captures;
  const std::size_t stride = 2 * (group_count_ + 1);

  const std::size_t length = subject_.size();
  // The subject comes from the code-page converter and is valid UTF-16: check it on the
  // first call only, not again for every match (which would cost the whole rest of the
  // subject each time).
  uint32_t match_options = 0;
  std::size_t from = 0;
  std::vector<std::size_t> offsets;
  while (from <= length) {
    const int rc = engine_->match(subject_, from, match_options);
    if (rc == PCRE2_ERROR_NOMATCH) break;
    // Any other failure (match or heap limit) would leave a partial collection that
    // looks complete; report no collection instead.
    if (rc <= 0) return false;
    match_options = PCRE2_NO_UTF_CHECK;

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(engine_->match_data);
    const std::size_t set = static_cast<std::size_t>(rc);
    for (std::size_t k = 0; k < stride; ++k)
      offsets.push_back(k < 2 * set && ovector[k] != PCRE2_UNSET ? ovector[k] : UNSET);
    if (!global) break;

    // Non-overlapping: go on after the match; after an empty match step over one
    // character, as the script engines do.
    const std::size_t start = ovector[0];
    const std::size_t end = ovector[1];
    if (end > start && end > from) {
      from = end;
    } else {
      if (end >= length) break;
      from = next_character(subject_, end);
    }
  }
  offsets_ = std::move(offsets);
  has_collection_ = true;
  return true;
}

std::string RegexMatcher::pattern() const {
  if (!has_pattern_) return {};
  return platform::utf16_to_gbk(pattern_);
}

int RegexMatcher::count() const {
  if (!has_collection_) return 0;
  return static_cast<int>(offsets_.size() / (2 * (group_count_ + 1)));
}

int RegexMatcher::submatch_count() const {
  return count() > 0 ? static_cast<int>(group_count_) : 0;
}

std::string RegexMatcher::text_of(std::size_t match, std::size_t group, long* position) const {
  const std::size_t at = match * 2 * (group_count_ + 1) + 2 * group;
  const std::size_t start = offsets_[at];
  const std::size_t end = offsets_[at + 1];
  if (start == UNSET || end == UNSET || end < start) {
    if (position) *position = -1;
    return {};
  }
  // The exact byte offset: the GBK form of everything before the text. (Searching the
  // GBK subject for the value from the UTF-16 index would find an earlier copy of it
  // whenever double-byte text precedes the match.)
  if (position)
    *position = static_cast<long>(
        platform::utf16_to_gbk(std::u16string_view(subject_).substr(0, start)).size());
  return platform::utf16_to_gbk(std::u16string_view(subject_).substr(start, end - start));
}

std::string RegexMatcher::match_value(int n, long* position) const {
  if (n < 1 || n > count()) {
    if (position) *position = -1;
    return {};
  }
  return text_of(static_cast<std::size_t>(n - 1), 0, position);
}

std::string RegexMatcher::submatch(int n, int g, long* position) const {
  if (n < 1 || n > count() || g < 1 || static_cast<std::size_t>(g) > group_count_) {
    if (position) *position = -1;
    return {};
  }
  return text_of(static_cast<std::size_t>(n - 1), static_cast<std::size_t>(g), position);
}

std::string RegexMatcher::replace(std::string_view replacement) const {
  if (!has_collection_) return {};
  const std::u16string with = platform::gbk_to_utf16(replacement);
  const std::u16string_view subject(subject_);
  const std::size_t stride = 2 * (group_count_ + 1);

  std::u16string out;
  out.reserve(subject.size());
  std::size_t copied = 0;
  for (std::size_t m = 0; m * stride < offsets_.size(); ++m) {
    const std::size_t* groups = offsets_.data() + m * stride;
    const std::size_t start = groups[0];
    const std::size_t end = groups[1];
    if (start < copied || end < start) continue;  // cannot happen without \K tricks
    out.append(subject.substr(copied, start - copied));

    auto append_group = [&](std::size_t g) {
      if (groups[2 * g] != UNSET && groups[2 * g + 1] != UNSET)
        out.append(subject.substr(groups[2 * g], groups[2 * g + 1] - groups[2 * g]));
    };
    auto is_digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    for (std::size_t i = 0; i < with.size();) {
      const char16_t c = with[i];
      if (c != u'$' || i + 1 == with.size()) {
        out.push_back(c);
        ++i;
        continue;
      }
      const char16_t d = with[i + 1];
      if (d == u'$') {
        out.push_back(u'$');
        i += 2;
      } else if (d == u'&') {
        append_group(0);
        i += 2;
      } else if (d == u'`') {
        out.append(subject.substr(0, start));
        i += 2;
      } else if (d == u'\'') {
        out.append(subject.substr(end));
        i += 2;
      } else if (is_digit(d)) {
        // Two digits when they name an existing group, else one digit when that does
        // ($10 with one group is group 1 and a "0"), else a literal "$".
        const std::size_t one = static_cast<std::size_t>(d - u'0');
        if (i + 2 < with.size() && is_digit(with[i + 2])) {
          const std::size_t two = one * 10 + static_cast<std::size_t>(with[i + 2] - u'0');
          if (two >= 1 && two <= group_count_) {
            append_group(two);
            i += 3;
            continue;
          }
        }
        if (one >= 1 && one <= group_count_) {
          append_group(one);
          i += 2;
        } else {
          out.push_back(u'$');
          ++i;
        }
      } else {
        out.push_back(u'$');
        ++i;
      }
    }
    copied = end;
  }
  out.append(subject.substr(copied));
  return platform::utf16_to_gbk(out);
}

}  // namespace corvane
