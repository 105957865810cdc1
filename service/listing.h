#pragma once
// The tree of the logged-in space as the content frame's pages show it: the root
// directories (ServiceClient::list_directories) and one directory's sub-directories and
// files (ServiceClient::list_files). The page parsers are free functions over the GBK
// answer text, so they can be fuzzed and measured without a network.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/gbk_text.h"

namespace corvane {

// The service's answer when a directory with an access password is listed by somebody
// who has not given it (yet).
inline constexpr std::string_view LISTING_REFUSED =
    "\xCE\xDE\xB2\xE9\xBF\xB4\xCE\xC4\xBC\xFE\xC1\xD0\xB1\xED\xC8\xA8\xCF\xDE"; /* 无查看文件列表权限 */

// One root directory: "x" + key + "|" ... up to the link text that holds its name.
inline constexpr std::string_view DIRECTORY_ROW_PATTERN =
    "id='x(.*?)&.*?'><table cellspacing=.*?javascript:;' class='.*?'>(.*?)</a><label>.*?</label>";
// One sub-directory block of a file listing: the text after the folder's "src=" up to its
// list, and the list's content.
inline constexpr std::string_view SUBDIRECTORY_PATTERN = "src=(.*?)<ul (.*?)</ul>";
// One file: element id, link target, upload time, and the link text up to "KB<", which
// is the name, a space and the size number.
inline constexpr std::string_view FILE_ROW_PATTERN =
    "gif' id=(.*?) onclick='.*?'><a href='(.*?)' title='\xC9\xCF\xB4\xAB\xCA\xB1\xBC\xE4:(.*?)' "
    /* 上传时间: */ "class=.*?>(.*?)KB<";

// Called after each row a parser appends; the operations pass the message pump, so a
// listing read on the window thread keeps the window responsive.
using ListingRowCallback = std::function<void()>;

// The root directories, in page order.
struct DirectoryListing {
  TextList keys;                // directory number + "_" + password flag
  TextList names;               // a "|" in a name comes back as "&"
  std::string directory_table;  // directory number + "|" + name + "|", per directory
};

// Parses the answer to the root-directory post.
DirectoryListing parse_directory_list(std::string_view answer,
                                      const ListingRowCallback& after_row = {});

// One directory's rows: sub-directories first (their ids, addresses, times and sizes are
// "-"), then the directory's own files, each list in page order.
struct FileListing {
  TextList ids, addresses, times, names, sizes;
  // Per sub-directory row: for each of its files, element id|address|time|name|sizeKB=|=
  TextList subdirectory_files;
  std::string upload_code;
  std::string upload_server;  // lower case
};

// Parses a directory's files page. directory is the number that was listed (it finds the
// upload code); domain_label is the first label of the service domain (it ends the
// upload server's name).
FileListing parse_file_list(std::string_view page, std::string_view directory,
                            std::string_view domain_label,
                            const ListingRowCallback& after_row = {});

// The first label of a service domain: "corvane" for "corvane.localhost:18080". A domain
// without a dot is its own first label (without a port).
std::string first_domain_label(std::string_view domain);

// One sub-directory block as the sub-directory pattern found it: the whole match and its
// two groups.
struct SubdirectoryBlock {
  std::string match, head, body;
};

// The list text without its sub-directory blocks: every occurrence of each body is
// removed, in block order, then every occurrence of each head. An occurrence anywhere
// counts, so a file that is listed inside a block and again elsewhere vanishes from
// both places. The result is the same as removing the texts one after the other with
// replace_all, but a page with many blocks is not scanned once per block: when each text
// occurs only where its block put it, the blocks are cut out in one pass.
std::string remove_subdirectory_blocks(std::string_view list,
                                       const std::vector<SubdirectoryBlock>& blocks);

// The plain form of the same removal: each text removed with replace_all, one after the
// other. The reference the fast form is checked against.
std::string remove_each_in_order(std::string_view text, const std::vector<std::string_view>& texts);

}  // namespace corvane
