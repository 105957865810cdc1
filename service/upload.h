#pragma once
// Storing a local file in a directory (or a new sub-directory) of the space
// (ServiceClient::upload_file). The file goes as a multipart form post straight to the
// space's upload server through a TransferClient, so its progress can be shown; the
// address alone tells the service which space and directory the file belongs to.
#include <string>
#include <string_view>

namespace corvane {

// The boundary of the upload form; every delimiter line is "--" + this.
inline constexpr std::string_view UPLOAD_BOUNDARY = "---------------------------7de15037c013e";
inline constexpr std::string_view UPLOAD_CONTENT_TYPE =
    "multipart/form-data; boundary=---------------------------7de15037c013e";
// The upload server's answer on success, found anywhere in the answer.
inline constexpr std::string_view UPLOAD_SUCCESS = "3\xCE\xAA\xC9\xCF\xB4\xAB\xB3\xC9\xB9\xA6"; /* 3为上传成功 */

// The file name as it stands in the form's filename parameter: raw GBK, except that CR,
// LF and the double quote become %0D, %0A and %22 (as browsers write them), since any of
// them would end the parameter or the header line early and break the form apart.
std::string upload_form_file_name(std::string_view file_name);

// The whole form, byte for byte: the file part (named "f", with the file name and the
// content unchanged), whose closing delimiter already ends the form, then the "Upload"
// part and the closing delimiter once more without a line end.
std::string upload_body(std::string_view file_name, std::string_view content);

// "http://cv-" + server + "." + domain + "/?p=03" + upload code + "0&ly=" + account + "."
// + domain + "&m=15&f=" + escaped file name + "&l=" + escaped sub-directory name + "&t=",
// both names escaped as the service's upload scripts escape them.
std::string upload_address(std::string_view upload_server, std::string_view domain,
                           std::string_view upload_code, std::string_view account,
                           std::string_view file_name, std::string_view subdirectory_name);

// Whether the upload server's answer reports success.
bool upload_succeeded(std::string_view answer);

}  // namespace corvane
