#pragma once
// Regular expressions over the service's GBK pages, in the JavaScript-style dialect the
// page parsers are written in: groups numbered by their opening parenthesis, "*?" lazy,
// "." never crossing a line break, matches found left to right without overlapping.
//
// The subject is converted to UTF-16 once per create and matched with PCRE2; the
// matcher keeps only the group offsets of every match and converts a match or a group
// back to GBK when it is asked for.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher&) = delete;
  RegexMatcher& operator=(const RegexMatcher&) = delete;

  // Compiles pattern and collects its matches in subject, replacing whatever an earlier
  // create left behind. Defaults: case of letters ignored, "^" and "$" also match at
  // line breaks, every match collected (global false keeps the first match only). With
  // quote_token every "#引号" in the pattern stands for a double quote.
  // Returns false when there is no match collection: the pattern is invalid, or the
  // engine gave up on the subject (its match or memory limit); count() is then 0.
  // A subject without matches still returns true.
  bool create(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool quote_token = false);

  // The pattern of the last create (after the quote token was resolved), invalid or
  // not; "" before the first create.
  std::string pattern() const;

  // The subject with the match collection's matches (all of them, or the first one
  // when create was not global) replaced. The replacement understands $$, $&, $`, $'
  // and $1..$99; a "$" that starts none of these, or names a group the pattern does not
  // have, stays as it is. "" when there is no match collection.
  std::string replace(std::string_view replacement) const;

  // Number of matches; 0 when there is no match collection.
  int count() const;

  // The text of match n (1-based); "" when there is no such match. When position is
  // given it receives the 0-based byte offset of the text in the GBK subject, or -1
  // when there is no such match.
  std::string match_value(int n, long* position = nullptr) const;

  // Group g (1-based) of match n (1-based); "" when there is no such match or group, or
  // when the group took no part in the match (position -1 then).
  std::string submatch(int n, int g, long* position = nullptr) const;

  // Number of groups of the first match; 0 when there is no match.
  int submatch_count() const;

 private:
  struct Engine;

  std::string text_of(std::size_t match, std::size_t group, long* position) const;

  std::unique_ptr<Engine> engine_;
  bool has_pattern_ = false;
  bool has_collection_ = false;
  std::u16string pattern_;
  std::u16string subject_;
  std::size_t group_count_ = 0;
  // Start and end offsets (UTF-16 code units) of group 0..group_count_ of every match,
  // one block of 2 * (group_count_ + 1) values per match; unset groups hold npos.
  std::vector<std::size_t> offsets_;
};

}  // namespace corvane
