// Directory and file listings: one form post to the content frame each, the answer cut
// apart with marker searches and three regular expressions.
#include "service/listing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "app/threads.h"
#include "service/endpoints.h"
#include "service/regex_matcher.h"
#include "service/service_client.h"

namespace corvane {

namespace {

constexpr const char* DIRECTORY_LIST_LEFT = "value=\"<li id='";
constexpr const char* FILE_LIST_LEFT = "id=\"Yz1\" name=\"Yz1\" value=\"<li><img ";
constexpr const char* FILE_LIST_RIGHT = "\"/>";
constexpr const char* UPLOAD_SERVER_LEFT = "Q.f_s='cv-";
// Left in the list by the page's own scripts; they would end up in addresses and ids.
constexpr const char* NOTE_PREFIX = "/note/fd.htm?";
constexpr const char* HIDDEN_ID_PREFIX = "id='u_";
constexpr const char* SIZE_UNIT = "KB";
constexpr const char* RECORD_END = "=|=";

// The literal parts of the sub-directory pattern around its two groups.
constexpr std::string_view HEAD_OPEN = "src=";
constexpr std::string_view BODY_OPEN = "<ul ";
constexpr std::string_view BODY_CLOSE = "</ul>";

// Whether byte index pos of text starts a character, found from the bytes just before it
// rather than by stepping from the start: the byte after any byte outside the lead range
// starts a character (that byte ends one, whether it stood alone or was a trail byte),
// and from there the lead-range bytes pair up.
bool starts_character(std::string_view text, std::size_t pos) {
  std::size_t run = 0;
  while (run < pos) {
    const unsigned char b = static_cast<unsigned char>(text[pos - run - 1]);
    if (b < 0x81 || b > 0xFE) break;
    ++run;
  }
  return run % 2 == 0;
}

// The first occurrence of marker at or after from that starts a character, as find_text
// finds it, but without stepping through all the text before it (a page runs to
// megabytes). npos when there is none.
std::size_t find_on_boundary(std::string_view text, std::string_view marker, std::size_t from) {
  if (marker.empty()) return std::string_view::npos;
  for (std::size_t at = text.find(marker, from); at != std::string_view::npos;
       at = text.find(marker, at + 1))
    if (starts_character(text, at)) return at;
  return std::string_view::npos;
}

// text_between(text, left, right), found faster.
std::string between(std::string_view text, std::string_view left_marker,
                    std::string_view right_marker) {
  const std::string left = replace_all(left_marker, QUOTE_TOKEN, "\"");
  const std::string right = replace_all(right_marker, QUOTE_TOKEN, "\"");
  const std::size_t l = find_on_boundary(text, left, 0);
  if (l == std::string_view::npos) return {};
  const std::size_t from = l + left.size();
  const std::size_t r = find_on_boundary(text, right, from);
  if (r == std::string_view::npos) return {};
  return std::string(text.substr(from, r - from));
}

// replace_all(text, marker, "") for a marker that ends a character (an ASCII one).
std::string remove_all(std::string_view text, std::string_view marker) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t hit = find_on_boundary(text, marker, 0); hit != std::string_view::npos;
       hit = find_on_boundary(text, marker, at)) {
    out.append(text.substr(at, hit - at));
    at = hit + marker.size();
  }
  out.append(text.substr(at));
  return out;
}

void notify(const ListingRowCallback& after_row) {
  if (after_row) after_row();
}

// ---- ASCII case-insensitive byte comparisons (the patterns ignore letter case). ----

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         equals_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

// Byte by byte, not by character: a superset of what the regular expression could see.
// The markers here start with a character that has no case.
bool contains_ignoring_case(std::string_view text, std::string_view marker) {
  if (marker.empty()) return true;
  for (std::size_t i = text.find(marker[0]); i != std::string_view::npos && i + marker.size() <= text.size();
       i = text.find(marker[0], i + 1))
    if (equals_ignoring_case(text.substr(i, marker.size()), marker)) return true;
  return false;
}

// End of the last "</ul>" in list (any letter case, byte by byte); 0 when there is none.
// Every sub-directory match ends with one, so nothing after it can take part in a match:
// the pattern searched over the text up to there finds exactly the same matches, and the
// attempts that would run from each later "src=" to the end of a long line are saved.
std::size_t end_of_last_block(std::string_view list) {
  for (std::size_t end = list.size(); end >= BODY_CLOSE.size(); --end)
    if (list[end - 1] == '>' &&
        equals_ignoring_case(list.substr(end - BODY_CLOSE.size(), BODY_CLOSE.size()), BODY_CLOSE))
      return end;
  return 0;
}

// ---- Removing the sub-directory blocks from the list. ----
//
// Removing each text with replace_all, one after the other, scans the whole list once per
// text: with thousands of sub-directories on a page of megabytes that is quadratic. The
// texts were all cut out of the list, so in the usual page each one occurs exactly where
// its block put it, and removing them all is a single pass that copies what lies between.
// That shortcut gives the same text as the one-by-one removal when
//  (a) the occurrences of each text (on character boundaries, as replace_all finds them)
//      are exactly its blocks' places: no copy elsewhere, no overlapping occurrence; and
//  (b) no removal can join the text on its two sides into a new occurrence of a later
//      text. The bytes around each removed piece are known (the pattern's literals), so
//      this is a property of each text alone: see junction_safe_body / _head.
// Both are checked; when either fails the one-by-one removal runs instead.

// A piece to cut: [start, start + length), holding distinct text number `text`.
struct Cut {
  std::size_t start;
  std::size_t length;
  std::size_t text;
};

// A body sits between "<ul " and "</ul>". An occurrence of a later body that reaches
// over the place of a removed one would hold the removed body's left neighbour (the
// space of "<ul ") followed by the start of "</ul>": either the whole "</ul>" or a
// body that ends in " <", " </", " </u" or " </ul".
bool junction_safe_body(std::string_view body) {
  if (contains_ignoring_case(body, BODY_CLOSE)) return false;
  for (std::size_t t = 1; t < BODY_CLOSE.size(); ++t) {
    if (ends_with_ignoring_case(body, BODY_CLOSE.substr(0, t)) && body.size() > t &&
        body[body.size() - t - 1] == ' ')
      return false;
  }
  return true;
}

// A head sits between "src=" and "<ul " (the bodies are gone by then): an occurrence
// reaching over a removed head's place holds the start of "<ul ".
bool junction_safe_head(std::string_view head) {
  if (contains_ignoring_case(head, BODY_OPEN)) return false;
  for (std::size_t t = 1; t < BODY_OPEN.size(); ++t)
    if (ends_with_ignoring_case(head, BODY_OPEN.substr(0, t))) return false;
  return true;
}

// Whether each cut (sorted, disjoint) starts and ends on a character boundary, so that
// cutting leaves the character steps of the rest unchanged.
bool cuts_on_boundaries(std::string_view text, const std::vector<Cut>& cuts) {
  std::size_t boundary = 0;
  auto on_boundary = [&](std::size_t pos) {
    while (boundary < pos) boundary += char_length(text, boundary);
    return boundary == pos;
  };
  for (const Cut& c : cuts)
    if (!on_boundary(c.start) || !on_boundary(c.start + c.length)) return false;
  return true;
}

std::size_t common_prefix(const char* a, const char* b, std::size_t n) {
  std::size_t i = 0;
  while (i + 64 <= n && std::memcmp(a + i, b + i, 64) == 0) i += 64;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// The first n (at most 8) bytes at p as one number, the rest zero; reads nothing past end.
std::uint64_t key_at(const char* p, const char* end, std::size_t n) {
  std::uint64_t key = 0;
  if (end - p >= 8) {
    std::memcpy(&key, p, 8);
  } else {
    std::memcpy(&key, p, static_cast<std::size_t>(end - p));
  }
  return n >= 8 ? key : key & ((std::uint64_t{1} << (8 * n)) - 1);
}

std::uint64_t hash_bytes(const char* p, std::size_t n) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 29;
  }
  for (; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 0x100000001B3ULL;
  return h;
}

// Condition (a), in one pass over text: every position whose first bytes start one of
// the texts is checked in full. False as soon as an occurrence turns up where no cut is,
// or when telling the candidates apart would cost more than a few passes over the text.
bool occurrences_are_exactly_cuts(std::string_view text, const std::vector<std::string_view>& texts,
                                  const std::vector<Cut>& cuts) {
  constexpr unsigned FILTER_BITS = 20;
  constexpr std::uint64_t MIX = 0x9E3779B97F4A7C15ULL;
  constexpr std::size_t MAX_PREFIX = 64;

  std::size_t shortest = MAX_PREFIX;
  std::size_t total = 0;
  for (std::string_view t : texts) {
    shortest = std::min(shortest, t.size());
    total += t.size();
  }
  if (shortest == 0 || text.size() < shortest) return false;
  // Candidates are found by their first (up to 8) bytes, then told apart by a hash of
  // their first `shortest` bytes, so texts that begin alike do not all get compared.
  const std::size_t q = std::min<std::size_t>(8, shortest);

  struct Entry {
    std::uint64_t key, prefix;
    std::size_t text;
    bool operator<(const Entry& o) const {
      return key != o.key ? key < o.key : prefix < o.prefix;
    }
  };
  std::vector<Entry> table;
  table.reserve(texts.size());
  std::vector<std::uint64_t> filter((std::size_t{1} << FILTER_BITS) / 64, 0);
  auto slot = [](std::uint64_t key) { return (key * MIX) >> (64 - FILTER_BITS); };
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const char* t = texts[k].data();
    const std::uint64_t key = key_at(t, t + texts[k].size(), q);
    table.push_back({key, hash_bytes(t, shortest), k});
    filter[slot(key) / 64] |= std::uint64_t{1} << (slot(key) % 64);
  }
  std::sort(table.begin(), table.end());

  std::vector<std::vector<std::size_t>> expected(texts.size());
  for (const Cut& c : cuts) expected[c.text].push_back(c.start);
  std::vector<std::size_t> next(texts.size(), 0);

  const std::size_t budget = 4 * text.size() + 4 * total + 4096;
  std::size_t work = 0;
  std::size_t boundary = 0;
  const char* data = text.data();
  const char* end = data + text.size();
  const std::size_t last = text.size() - shortest;

  // Windows of m bytes are skipped by the two bytes that end them (a multi-text
  // Horspool step): a window can start an occurrence only when those two bytes stand at
  // that place in some text's first m bytes, so the window moves on by the smallest
  // distance that lines them up with such a place.
  const std::size_t m = std::max<std::size_t>(shortest, 2);
  std::vector<std::uint8_t> skip;
  if (shortest >= 2) {
    skip.assign(65536, static_cast<std::uint8_t>(m - 1));
    for (std::string_view t : texts)
      for (std::size_t j = 0; j + 1 < m; ++j) {
        const std::size_t block = static_cast<unsigned char>(t[j]) |
                                  static_cast<std::size_t>(static_cast<unsigned char>(t[j + 1])) << 8;
        skip[block] = std::min<std::uint8_t>(skip[block], static_cast<std::uint8_t>(m - 2 - j));
      }
  }

  for (std::size_t p = 0; p <= last; ++p) {
    if (!skip.empty()) {
      const std::size_t e = p + m - 2;
      const std::size_t block = static_cast<unsigned char>(data[e]) |
                                static_cast<std::size_t>(static_cast<unsigned char>(data[e + 1])) << 8;
      if (const std::size_t shift = skip[block]; shift != 0) {
        p += shift - 1;
        continue;
      }
    }
    const std::uint64_t key = key_at(data + p, end, q);
    const std::uint64_t s = slot(key);
    if (!(filter[s / 64] & (std::uint64_t{1} << (s % 64)))) continue;
    auto first = std::lower_bound(table.begin(), table.end(), Entry{key, 0, 0});
    if (first == table.end() || first->key != key) continue;
    const std::uint64_t prefix = hash_bytes(data + p, shortest);
    work += shortest;
    for (auto it = std::lower_bound(first, table.end(), Entry{key, prefix, 0});
         it != table.end() && it->key == key && it->prefix == prefix; ++it) {
      std::string_view t = texts[it->text];
      if (t.size() > text.size() - p) continue;
      const std::size_t same = common_prefix(data + p, t.data(), t.size());
      work += same + 1;
      if (same != t.size()) continue;
      while (boundary < p) boundary += char_length(text, boundary);
      if (boundary != p) continue;  // starts on a trail byte: replace_all skips it
      std::size_t& n = next[it->text];
      if (n >= expected[it->text].size() || expected[it->text][n] != p) return false;
      ++n;
    }
    if (work > budget) return false;
  }
  for (std::size_t k = 0; k < texts.size(); ++k)
    if (next[k] != expected[k].size()) return false;
  return true;
}

std::string without_cuts(std::string_view text, const std::vector<Cut>& cuts) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (const Cut& c : cuts) {
    out.append(text.substr(at, c.start - at));
    at = c.start + c.length;
  }
  out.append(text.substr(at));
  return out;
}

// Removes texts[k] (in order) from text in one pass, given where each one's block put it
// (starts[k]); false, leaving out alone, when the shortcut might differ from removing
// them one by one.
bool remove_in_one_pass(std::string_view text, const std::vector<std::string_view>& texts,
                        const std::vector<std::size_t>& starts, bool (*junction_safe)(std::string_view),
                        std::string& out) {
  std::unordered_map<std::string_view, std::size_t> number;
  std::vector<std::string_view> distinct;
  std::vector<Cut> cuts;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if (texts[k].empty()) continue;  // removing nothing changes nothing
    auto [it, added] = number.emplace(texts[k], distinct.size());
    if (added) {
      if (!junction_safe(texts[k])) return false;
      distinct.push_back(texts[k]);
    }
    cuts.push_back({starts[k], texts[k].size(), it->second});
  }
  if (cuts.empty()) {
    out.assign(text);
    return true;
  }
  if (!cuts_on_boundaries(text, cuts)) return false;
  if (!occurrences_are_exactly_cuts(text, distinct, cuts)) return false;
  out = without_cuts(text, cuts);
  return true;
}

// Where each block's match starts in list; false when a match cannot be placed or does
// not consist of its literals and groups (then the blocks are removed one by one).
bool locate_blocks(std::string_view list, const std::vector<SubdirectoryBlock>& blocks,
                   std::vector<std::size_t>& starts) {
  std::size_t cursor = 0;
  for (const SubdirectoryBlock& b : blocks) {
    const std::string_view m = b.match;
    const std::size_t h = b.head.size();
    if (m.size() != HEAD_OPEN.size() + h + BODY_OPEN.size() + b.body.size() + BODY_CLOSE.size())
      return false;
    if (!equals_ignoring_case(m.substr(0, HEAD_OPEN.size()), HEAD_OPEN) ||
        m.substr(HEAD_OPEN.size(), h) != b.head ||
        !equals_ignoring_case(m.substr(HEAD_OPEN.size() + h, BODY_OPEN.size()), BODY_OPEN) ||
        m.substr(HEAD_OPEN.size() + h + BODY_OPEN.size(), b.body.size()) != b.body ||
        !equals_ignoring_case(m.substr(m.size() - BODY_CLOSE.size()), BODY_CLOSE))
      return false;
    const std::size_t at = list.find(m, cursor);
    if (at == std::string_view::npos) return false;
    starts.push_back(at);
    cursor = at + m.size();
  }
  return true;
}

// ---- File rows. ----

struct FileFields {
  std::string element_id, address, time, name, size;
};

FileFields file_fields(const RegexMatcher& matcher, int m) {
  FileFields f;
  f.element_id = matcher.submatch(m, 1);
  f.address = matcher.submatch(m, 2);
  f.time = matcher.submatch(m, 3);
  const std::string label = matcher.submatch(m, 4);
  f.size = text_after_last(label, " ");
  f.name = replace_all(label, " " + f.size, "");
  return f;
}

}  // namespace

std::string remove_each_in_order(std::string_view text, const std::vector<std::string_view>& texts) {
  std::string out(text);
  for (std::string_view t : texts)
    if (!t.empty()) out = replace_all(out, t, "");
  return out;
}

std::string remove_subdirectory_blocks(std::string_view list,
                                       const std::vector<SubdirectoryBlock>& blocks) {
  std::vector<std::string_view> bodies, heads;
  for (const SubdirectoryBlock& b : blocks) {
    bodies.push_back(b.body);
    heads.push_back(b.head);
  }
  std::vector<std::size_t> starts;
  const bool located = locate_blocks(list, blocks, starts);

  std::string without_bodies;
  bool fast = false;
  if (located) {
    std::vector<std::size_t> body_starts;
    for (std::size_t k = 0; k < blocks.size(); ++k)
      body_starts.push_back(starts[k] + HEAD_OPEN.size() + heads[k].size() + BODY_OPEN.size());
    fast = remove_in_one_pass(list, bodies, body_starts, junction_safe_body, without_bodies);
  }
  if (!fast) without_bodies = remove_each_in_order(list, bodies);

  std::string result;
  if (fast) {
    // Every body is gone from before each head, so the heads moved up by the bodies' sizes.
    std::vector<std::size_t> head_starts;
    std::size_t removed = 0;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      head_starts.push_back(starts[k] + HEAD_OPEN.size() - removed);
      removed += bodies[k].size();
    }
    if (remove_in_one_pass(without_bodies, heads, head_starts, junction_safe_head, result))
      return result;
  }
  return remove_each_in_order(without_bodies, heads);
}

std::string first_domain_label(std::string_view domain) {
  std::size_t dot = domain.find('.');
  if (dot != std::string_view::npos) return std::string(domain.substr(0, dot));
  return std::string(domain.substr(0, domain.find(':')));
}

DirectoryListing parse_directory_list(std::string_view answer, const ListingRowCallback& after_row) {
  DirectoryListing out;
  // The "|" that ends a key on the page becomes the "&" at which the key group stops.
  const std::string page = replace_all(answer, "|", "&");
  const std::string list = "<li id='" + between(page, DIRECTORY_LIST_LEFT, "\"");
  RegexMatcher matcher;
  matcher.create(DIRECTORY_ROW_PATTERN, list);
  for (int m = 1; m <= matcher.count(); ++m) {
    std::string key = matcher.submatch(m, 1);
    std::string name = matcher.submatch(m, 2);
    out.directory_table += text_before(key, "_") + "|" + name + "|";
    out.keys.push_back(std::move(key));
    out.names.push_back(std::move(name));
    notify(after_row);
  }
  return out;
}

FileListing parse_file_list(std::string_view page, std::string_view directory,
                            std::string_view domain_label, const ListingRowCallback& after_row) {
  FileListing out;
  // The first occurrence anywhere, also when it ends a longer number (12 inside 112).
  out.upload_code = between(page, std::string(directory) + ",0,'", "'");
  out.upload_server =
      ascii_lower(between(page, UPLOAD_SERVER_LEFT, "." + std::string(domain_label)));

  std::string list = between(page, FILE_LIST_LEFT, FILE_LIST_RIGHT);
  for (std::string_view prefix : {NOTE_PREFIX, HIDDEN_ID_PREFIX})
    if (list.find(prefix) != std::string::npos) list = remove_all(list, prefix);

  RegexMatcher blocks_matcher;  // matcher A
  RegexMatcher files_matcher;   // matcher B, once per sub-directory
  RegexMatcher rest_matcher;    // matcher C

  blocks_matcher.create(SUBDIRECTORY_PATTERN,
                        std::string_view(list).substr(0, end_of_last_block(list)));
  const int block_count = blocks_matcher.count();
  if (block_count > 0) {
    std::vector<SubdirectoryBlock> blocks;
    blocks.reserve(static_cast<std::size_t>(block_count));
    for (int m = 1; m <= block_count; ++m) {
      SubdirectoryBlock b{blocks_matcher.match_value(m), blocks_matcher.submatch(m, 1),
                          blocks_matcher.submatch(m, 2)};
      const std::string block_id = text_between(b.body, "id='", "'");
      out.ids.emplace_back("-");
      out.addresses.emplace_back("-");
      out.times.emplace_back("-");
      out.sizes.emplace_back("-");
      out.names.push_back(text_after_last(block_id, "_"));
      blocks.push_back(std::move(b));
      notify(after_row);
    }

    list = remove_subdirectory_blocks(list, blocks);

    for (const SubdirectoryBlock& b : blocks) {
      files_matcher.create(FILE_ROW_PATTERN, b.body);
      std::string records;
      for (int m = 1; m <= files_matcher.count(); ++m) {
        const FileFields f = file_fields(files_matcher, m);
        records += f.element_id + "|" + f.address + "|" + f.time + "|" + f.name + "|" + f.size +
                   SIZE_UNIT + RECORD_END;
        notify(after_row);
      }
      out.subdirectory_files.push_back(std::move(records));
      notify(after_row);
    }
  }

  rest_matcher.create(FILE_ROW_PATTERN, list);
  for (int m = 1; m <= rest_matcher.count(); ++m) {
    FileFields f = file_fields(rest_matcher, m);
    out.ids.push_back(text_after_last(f.element_id, "_"));
    out.addresses.push_back(std::move(f.address));
    out.times.push_back(std::move(f.time));
    out.names.push_back(std::move(f.name));
    out.sizes.push_back(f.size + SIZE_UNIT);
    notify(after_row);
  }
  return out;
}

int ServiceClient::list_directories(TextList& keys, TextList& names) {
  if (!visitor.get() && !logged_in.get()) return 0;
  upload_server = std::string();
  keys.clear();
  names.clear();
  const std::string answer = post_form("ml_dq", "", "", "", "", true);
  DirectoryListing listing = parse_directory_list(answer, process_pending_messages);
  directory_table = std::move(listing.directory_table);
  keys = std::move(listing.keys);
  names = std::move(listing.names);
  return static_cast<int>(keys.size());
}

int ServiceClient::list_files(const std::string& directory, TextList& ids, TextList& addresses,
                              TextList& times, TextList& names, TextList& sizes,
                              TextList& subdirectory_files, std::string& upload_code) {
  if ((!visitor.get() && !logged_in.get()) || directory.empty()) return 0;
  for (TextList* list : {&ids, &addresses, &times, &names, &sizes, &subdirectory_files})
    list->clear();

  std::string page = post_form("dq", directory, "", "", "", true);
  if (contains(page, LISTING_REFUSED)) {
    if (!visitor.get()) return 0;
    prompter_->ask_access_password(*state_);
    const std::string password = state_->access_password();
    if (password.empty()) return -2;
    post_form("kqmmpd", directory, password, "", "", true);
    page = post_form("dq", directory, "", "", "", true);
    if (contains(page, LISTING_REFUSED)) return -1;
  }

  FileListing listing = parse_file_list(page, directory, first_domain_label(SERVICE_DOMAIN()),
                                        process_pending_messages);
  upload_code = std::move(listing.upload_code);
  upload_server = std::move(listing.upload_server);
  ids = std::move(listing.ids);
  addresses = std::move(listing.addresses);
  times = std::move(listing.times);
  names = std::move(listing.names);
  sizes = std::move(listing.sizes);
  subdirectory_files = std::move(listing.subdirectory_files);
  return static_cast<int>(ids.size());
}

}  // namespace corvane
