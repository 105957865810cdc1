#pragma once
// The request object for file transfers: a request body sent in pieces with a total
// length fixed in advance, the raw header block of the final answer, and an answer body
// streamed into a file, with progress reported to a callback from a monitor thread.
//
// Calling order for one transfer: construct, optionally set_proxy and set_credentials,
// open, optionally add_header (one call per header) and set_option, send, then one of
// receive_to_file, response_body or response_text (the header accessors work after
// send), then destroy. set_timeouts acts on the session, which exists only after the
// first open. One request at a time; a new send starts over with no headers and no body.
//
// Built on libcurl's multi interface. send returns once the answer's header block is in;
// the body stays in the connection (libcurl holds at most one 5120-byte buffer of it)
// until a body operation asks for it, so a download never holds the file in memory.
// This client keeps its own cookies per session; it does not share the page fetcher's
// store. Environment proxy variables never apply: only set_proxy names a proxy.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace corvane {

// Progress routine of send and receive_to_file, called on the transfer's monitor thread:
// (user value, total bytes, bytes done, elapsed milliseconds). A null routine means no
// callback. The three counts are the monitor's copies; changing them has no effect.
using TransferProgressCallback =
    std::function<void(std::int32_t user, std::int64_t& total, std::int64_t& done,
                       std::int64_t& elapsed)>;

// The value of done that tells the monitor the transfer finished.
inline constexpr std::int64_t TRANSFER_END_MARKER = -768;

// Upload pieces: the first piece is the remainder of the length modulo this size (when
// not zero), every later piece exactly this size, so the pieces add up to the length.
inline constexpr std::int64_t UPLOAD_PIECE_BYTES = 2048;
// Downloads reach the file in pieces of at most this many bytes.
inline constexpr std::int64_t DOWNLOAD_PIECE_BYTES = 5120;

// Length of the upload piece that starts at offset (0 at or past the end).
std::int64_t upload_piece_length(std::int64_t body_length, std::int64_t offset);

// The parts of a transfer address that open connects with.
// host: the address in lower case without "http://" or "https://", up to the next "/",
//   cut at its first ":".
// port: the number after that ":"; without one (or when it reads as 0) 443 for an
//   address that starts with "https" in any case, else 80. Out of range gives -1.
// path: from the first "/" after the host (searched for, ignoring case, after the
//   scheme) to the end, query included; "/" when there is none.
struct TransferAddress {
  std::string host;
  long port = 0;
  std::string path;
  bool secure = false;
};
TransferAddress transfer_address(std::string_view url);

// The single file-name component a download is stored under, so that no name given by
// an answer or a listing can leave the download directory. GBK in, GBK out, stepping by
// character (a double-byte character whose trail byte is "\\" or "|" stays whole):
// - each single-byte "\\", "/", ":", "*", "?", "\"", "<", ">", "|" and each control
//   character (0x00-0x1F, 0x7F) becomes "_" (so "..\\x" is ".._x", "C:x" is "C_x");
// - trailing dots and spaces become "_" each (so "." is "_", ".." is "__", and
//   Windows cannot silently drop them and land on another name);
// - a name whose part before the first dot is a reserved device name (CON, PRN, AUX,
//   NUL, COM1-COM9, LPT1-LPT9, any letter case) gets a leading "_";
// - an empty name becomes "_".
std::string safe_file_name(std::string_view gbk_name);

class TransferClient {
 public:
  // WinHttp option numbers that set_option understands; every other one gives false.
  static constexpr std::uint32_t OPTION_RESOLVE_TIMEOUT = 2;    // ms, as connect
  static constexpr std::uint32_t OPTION_CONNECT_TIMEOUT = 3;    // ms
  static constexpr std::uint32_t OPTION_SEND_TIMEOUT = 5;       // ms, as the stall limit
  static constexpr std::uint32_t OPTION_RECEIVE_TIMEOUT = 6;    // ms, as the stall limit
  static constexpr std::uint32_t OPTION_RECEIVE_RESPONSE_TIMEOUT = 7;  // ms, stall limit
  static constexpr std::uint32_t OPTION_DISABLE_FEATURE = 63;   // flags below
  static constexpr std::uint32_t OPTION_REDIRECT_POLICY = 88;   // 0 never, 1 not https->http, 2 always
  static constexpr std::uint32_t OPTION_MAX_AUTOMATIC_REDIRECTS = 89;
  static constexpr std::uint32_t OPTION_MAX_RESPONSE_HEADER_SIZE = 91;  // bytes
  static constexpr std::uint32_t DISABLE_COOKIES = 0x1;
  static constexpr std::uint32_t DISABLE_REDIRECTS = 0x2;
  static constexpr std::uint32_t DISABLE_AUTHENTICATION = 0x4;
  static constexpr std::uint32_t DISABLE_KEEP_ALIVE = 0x8;

  // Time limits of a new session, so that a dead or stalling server cannot hold the
  // task thread: connecting (name resolution and TLS included) may take this long, and
  // once connected a transfer in which no byte moves either way for the stall limit is
  // abandoned. set_timeouts sets both to one value.
  static constexpr long DEFAULT_CONNECT_TIMEOUT_MS = 60000;
  static constexpr long DEFAULT_STALL_TIMEOUT_MS = 30000;
  // A final answer whose header block is longer than this fails the request.
  static constexpr long DEFAULT_MAX_RESPONSE_HEADER_BYTES = 5000;
  static constexpr int DEFAULT_MAX_REDIRECTS = 10;

  TransferClient();
  ~TransferClient();
  TransferClient(const TransferClient&) = delete;
  TransferClient& operator=(const TransferClient&) = delete;

  // Whether the HTTP library could be set up; most operations return it on success.
  bool available = false;

  // Sets a WinHttp-numbered option on the opened request (see the OPTION_ constants);
  // false without a request or for an option this client does not map.
  bool set_option(std::uint32_t option, std::uint32_t value);
  // Proxy server ("host:port"), user and password; the server is taken when the
  // session is made (first open), the user at each send (Basic).
  bool set_proxy(const std::string& server, const std::string& user,
                 const std::string& password);
  // Connect time-out and stall limit of the session in milliseconds; 0 or -1 remove
  // them (libcurl still gives up connecting after 300 s). False before the first open
  // and for values below -1.
  bool set_timeouts(int milliseconds);
  // Server user and password, sent with Basic authentication at each send.
  bool set_credentials(const std::string& user, const std::string& password);
  // Prepares a request with method (upper-cased; empty means GET) and address; false
  // for an address without a usable host or port, or a method that is not one word.
  bool open(const std::string& method, const std::string& url);
  // Adds the line name + ":" + value (no space after the colon), replacing an earlier
  // header of the same name; an empty value removes it. False without a request or for
  // a line with CR or LF.
  bool add_header(const std::string& name, const std::string& value);
  // Sends the body and waits for the final answer's header block. With a callback, a
  // monitor thread reports the bytes handed over; its last call (done = total) comes
  // only when the whole body went out. False when no header block arrived (refused,
  // reset, timed out, header block too long).
  bool send(std::string body = {}, TransferProgressCallback callback = nullptr,
            std::int32_t user = 0);
  // Streams the body into directory/safe_file_name(file_name). The body goes to a new
  // temporary file in that directory, which replaces the named file only when the body
  // arrived whole (no transport error, Content-Length matched); otherwise the temporary
  // file is removed, an existing file of that name is left as it was, and the result is
  // false. Also false, reading nothing, when the directory does not exist or the
  // answer's Content-Length is missing, zero or not a number. With a callback and a
  // positive length, the monitor's last call (done = total) comes only on success.
  bool receive_to_file(const std::string& directory, const std::string& file_name,
                       TransferProgressCallback callback = nullptr, std::int32_t user = 0);
  // The whole body, read on the first call and cached for later ones.
  std::string response_body();
  // The body as text up to its first zero byte; utf8 = 1 decodes it from UTF-8 to GBK.
  std::string response_text(int utf8 = 0);
  // A cookie from the Set-Cookie lines: each piece runs from after "Set-Cookie: " to
  // the next ";" and one more character. The first piece whose text before its "="
  // equals name is returned (value_only: the text between "=" and ";"), else all pieces
  // joined; either with the last trim characters cut off.
  std::string get_cookie(const std::string& name, bool value_only = false, int trim = 0);
  // The text 10 characters after the first "Location" (also inside "Content-Location")
  // up to the next CR LF; "" when there is none.
  std::string location();
  // The text from two characters after the first name + ":" (case-sensitive) up to the
  // next CR LF; the whole header block when name is empty or not found.
  std::string header(const std::string& name);
  // Closes request, connection and session and empties every setting.
  bool close();

 private:
  struct Session;
  struct Connection;
  struct Request;

  bool drive_body();

  // 0-2 proxy server, user, password; 3-4 server user, password; 5 raw header block of
  // the last answer; 6 cached answer body. All GBK bytes.
  std::string settings_[7];
  bool body_cached_ = false;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Request> request_;
};

}  // namespace corvane
