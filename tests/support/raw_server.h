#pragma once
// A loopback HTTP server that works on raw bytes: it records every request exactly as it
// arrived (request line, header lines in order, body) and answers with whatever bytes a
// test scripts, including broken answers (resets, stalls, lying Content-Length).
// It listens on 127.0.0.1 only, on a free port, and serves one request per connection.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvane::test {

struct RawRequest {
  std::string raw;            // every byte received, head and body
  std::string request_line;   // "POST /a HTTP/1.1"
  std::vector<std::string> header_lines;  // in the order sent, without CR LF
  std::string body;
  // Value of the first header with this name (case-insensitive), "" when absent.
  std::string header(std::string_view name) const;
  std::string method() const;
  std::string target() const;  // the object of the request line
};

class RawServer;

class RawConnection {
 public:
  const RawRequest& request() const { return request_; }
  bool write(std::string_view bytes);
  // Closes with a TCP reset instead of an orderly close.
  void reset();
  // Waits up to ms milliseconds, returning early (false) when the server stops.
  bool pause(int ms);

 private:
  friend class RawServer;
  RawConnection(int fd, RawServer& server) : fd_(fd), server_(server) {}
  int fd_;
  RawServer& server_;
  RawRequest request_;
  bool reset_ = false;
};

class RawServer {
 public:
  using Responder = std::function<std::string(const RawRequest&)>;
  using ConnectionHandler = std::function<void(RawConnection&)>;

  // Answers each request with the bytes the responder returns, then closes.
  explicit RawServer(Responder responder);
  explicit RawServer(ConnectionHandler handler, int /*tag*/);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::string base_url() const;  // "http://127.0.0.1:PORT"
  std::vector<RawRequest> requests() const;
  std::size_t request_count() const;
  void stop();

  // A plain answer: status line, Content-Length, optional extra header lines.
  static std::string response(std::string_view body, std::string_view extra_headers = "",
                              std::string_view status = "200 OK");

 private:
  friend class RawConnection;
  void serve();
  void handle(int fd);

  ConnectionHandler handler_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stop_cv_;
  std::vector<RawRequest> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace corvane::test
