#pragma once
// Deleting files, sub-directories and root directories of the logged-in space: one form
// post each to the content frame (ServiceClient::delete_file, delete_directory).
#include <string>
#include <string_view>

namespace corvane {

// The item kind the service expects next to a delete id: "z" (a sub-directory) when the
// id holds "z_" anywhere, else "w" (a file). A file id that happens to hold "z_" is
// therefore sent as a sub-directory, which is what the service has always been sent.
std::string delete_kind(std::string_view delete_id);

}  // namespace corvane
