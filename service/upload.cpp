// File upload: a multipart form post to the space's upload server.
#include "service/upload.h"

#include <fstream>
#include <iterator>

#include "http/transfer_client.h"
#include "platform/paths.h"
#include "service/endpoints.h"
#include "service/script_escape.h"
#include "service/service_client.h"
#include "text/gbk_text.h"

namespace corvane {

namespace {

// The delimiter after the file's bytes already carries the closing "--", and the
// "Upload" part follows it anyway; the service has always been sent the form like this.
constexpr std::string_view BODY_TAIL =
    "\r\n-----------------------------7de15037c013e--\r\n"
    "Content-Disposition: form-data; name=\"Upload\"\r\n"
    "\r\n"
    "Submit Query\r\n"
    "-----------------------------7de15037c013e--";

// A file that cannot be read goes out with an empty content.
std::string read_whole_file(const std::string& gbk_path) {
  std::ifstream in(platform::native_path(gbk_path), std::ios::binary);
  if (!in) return {};
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {};
  return content;
}

}  // namespace

std::string upload_form_file_name(std::string_view file_name) {
  // Byte by byte: none of the three can be the trail byte of a GBK character, and the
  // server splits the form at bytes, whatever a stray lead byte before them says.
  std::string out;
  out.reserve(file_name.size());
  for (char c : file_name) {
    if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else if (c == '"')
      out += "%22";
    else
      out += c;
  }
  return out;
}

std::string upload_body(std::string_view file_name, std::string_view content) {
  std::string body;
  body.reserve(content.size() + file_name.size() + 320);
  body += "--";
  body += UPLOAD_BOUNDARY;
  body += "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"";
  body += upload_form_file_name(file_name);
  body += "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  body += content;
  body += BODY_TAIL;
  return body;
}

std::string upload_address(std::string_view upload_server, std::string_view domain,
                           std::string_view upload_code, std::string_view account,
                           std::string_view file_name, std::string_view subdirectory_name) {
  std::string address = "http://cv-";
  address += upload_server;
  address += '.';
  address += domain;
  address += "/?p=03";
  address += upload_code;
  address += "0&ly=";
  address += account;
  address += '.';
  address += domain;
  address += "&m=15&f=";
  address += script_escape(file_name);
  address += "&l=";
  address += script_escape(subdirectory_name);
  address += "&t=";
  return address;
}

bool upload_succeeded(std::string_view answer) { return contains(answer, UPLOAD_SUCCESS); }

bool ServiceClient::upload_file(const std::string& file_path, const std::string& upload_code,
                                const TransferProgressCallback& progress, int32_t user_value,
                                const std::string& subdirectory_name) {
  TransferClient transfer;
  const std::string file_name = platform::path_find_file_name(file_path);
  const std::string body = upload_body(file_name, read_whole_file(file_path));
  const std::string address =
      upload_address(upload_server.get(), SERVICE_DOMAIN(), upload_code, state_->account_name(),
                     file_name, subdirectory_name);
  if (!transfer.open("POST", address)) return false;
  transfer.add_header("Content-Type", std::string(UPLOAD_CONTENT_TYPE));
  // A failed send leaves no answer, so the success text is missing and the result false.
  transfer.send(body, progress, user_value);
  return upload_succeeded(transfer.response_text(0));
}

}  // namespace corvane
