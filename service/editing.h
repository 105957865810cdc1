#pragma once
// Creating root directories and renaming or moving directories, files and sub-directories
// of the logged-in space (ServiceClient::create_directory, edit_directory, edit_file,
// edit_subdirectory): one form post each to the content frame, judged by
// operation_succeeded (service/url_encode.h).
#include <string_view>

namespace corvane {

// The fixed settings value that goes with every root directory created or edited.
inline constexpr std::string_view DIRECTORY_FLAGS = "011000";
// Pre-encoded separators inside the edit forms' last field: "|" and ",".
inline constexpr std::string_view ENCODED_BAR = "%7C";
inline constexpr std::string_view MOVE_SEPARATOR = "%2CZMm_";

}  // namespace corvane
