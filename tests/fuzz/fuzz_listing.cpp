// Listing, upload and shortener parsers on arbitrary bytes: no crash, no sanitizer report,
// and the one-pass block removal always gives what removing one by one gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "service/listing.h"
#include "service/regex_matcher.h"
#include "service/shortener.h"
#include "service/upload.h"
#include "text/gbk_text.h"

namespace {

void check_block_removal(std::string_view list) {
  corvane::RegexMatcher matcher;
  matcher.create(corvane::SUBDIRECTORY_PATTERN, list);
  std::vector<corvane::SubdirectoryBlock> blocks;
  std::vector<std::string_view> texts;
  for (int m = 1; m <= matcher.count(); ++m)
    blocks.push_back({matcher.match_value(m), matcher.submatch(m, 1), matcher.submatch(m, 2)});
  for (const auto& b : blocks) texts.push_back(b.body);
  for (const auto& b : blocks) texts.push_back(b.head);
  if (corvane::remove_subdirectory_blocks(list, blocks) !=
      corvane::remove_each_in_order(list, texts))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first byte picks a directory number that may or may not occur in the page.
  const std::string directory = size ? std::to_string(data[0] % 16) : std::string();

  corvane::parse_directory_list(input);
  corvane::parse_directory_list("value=\"<li id='" + input);
  // The parser's own marker search must find what text_between finds.
  const corvane::FileListing listing = corvane::parse_file_list(input, directory, "corvane");
  if (listing.upload_code != corvane::text_between(input, directory + ",0,'", "'") ||
      listing.upload_server !=
          corvane::ascii_lower(corvane::text_between(input, "Q.f_s='cv-", ".corvane")))
    std::abort();
  // Most random inputs lack the list marker; wrap them in it so the list parsing runs.
  corvane::parse_file_list("Q.f_s='cv-" + input + ".corvane' id=\"Yz1\" name=\"Yz1\" value=\"<li><img " +
                               input + "\"/>",
                           directory, "corvane");
  check_block_removal(input);

  corvane::short_address_of(input);
  corvane::upload_succeeded(input);
  corvane::upload_body(input, input);
  corvane::first_domain_label(input);
  return 0;
}
