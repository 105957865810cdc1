// Deleting: "scjl" removes a file ("w_" + file id) or a sub-directory
// ("z_" + directory + "_" + name + "_i") of the shown directory, "scml" a root directory.
#include "service/deletion.h"

#include "service/service_client.h"
#include "service/url_encode.h"
#include "text/gbk_text.h"

namespace corvane {

std::string delete_kind(std::string_view delete_id) {
  return contains(delete_id, "z_") ? "z" : "w";
}

bool ServiceClient::delete_file(const std::string& delete_id, const std::string& directory) {
  // A sub-directory is addressed by its name inside the delete id. Sent raw, an "&" or
  // "=" in that name would cut the field short and the service would delete whatever
  // the truncated id names, so the form's delimiters are escaped; ordinary ids go out
  // byte for byte as before.
  return operation_succeeded(
      post_form("scjl", delete_kind(delete_id), escape_form_delimiters(delete_id), directory));
}

bool ServiceClient::delete_directory(const std::string& directory) {
  return operation_succeeded(post_form("scml", directory));
}

}  // namespace corvane
