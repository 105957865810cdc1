// Create and edit. Names are percent-encoded where the service's own form encodes them
// (create_directory, edit_directory, edit_file); ids, directory numbers and passwords go
// out raw. Passwords stay raw on purpose: the access-password post of the listing sends
// them raw too, and the two must keep agreeing on what the service stores.
#include "service/editing.h"

#include "service/service_client.h"
#include "service/url_encode.h"

namespace corvane {

bool ServiceClient::create_directory(const std::string& name, const std::string& password) {
  return operation_succeeded(
      post_form("xzml", url_encode(name), "", password, std::string(DIRECTORY_FLAGS)));
}

bool ServiceClient::edit_directory(const std::string& directory, const std::string& new_name,
                                   const std::string& password) {
  return operation_succeeded(post_form("xgml", directory, url_encode(new_name), "",
                                       password + std::string(ENCODED_BAR) +
                                           std::string(DIRECTORY_FLAGS)));
}

bool ServiceClient::edit_file(const std::string& file_id, const std::string& current_directory,
                              const std::string& target_directory,
                              const std::string& new_name) {
  return operation_succeeded(
      post_form("xgsj", "w_" + file_id, url_encode(new_name), "",
                current_directory + std::string(MOVE_SEPARATOR) + target_directory));
}

bool ServiceClient::edit_subdirectory(const std::string& current_directory,
                                      const std::string& target_directory,
                                      const std::string& old_name, const std::string& new_name) {
  // The service's form sends both names unencoded, and ordinary names still go out byte
  // for byte. Only the form's delimiters are escaped: raw, an "&" in the old name would
  // make the service rename and move a different sub-directory, and an "&", "%" or "+"
  // in the new name would store a name other than the one typed.
  return operation_succeeded(post_form(
      "xgsj", "z_" + current_directory + "_" + escape_form_delimiters(old_name) + "_i", "",
      escape_form_delimiters(new_name),
      current_directory + std::string(MOVE_SEPARATOR) + target_directory));
}

}  // namespace corvane
