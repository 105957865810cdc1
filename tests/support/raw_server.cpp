#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace corvane::test {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// Reads with a time limit so a silent client cannot hold a worker forever.
bool read_some(int fd, std::string& into) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 10000) <= 0) return false;
  char buf[16384];
  ssize_t n = ::recv(fd, buf, sizeof buf, 0);
  if (n <= 0) return false;
  into.append(buf, static_cast<size_t>(n));
  return true;
}

}  // namespace

std::string RawRequest::header(std::string_view name) const {
  std::string want = lower(name);
  for (const auto& line : header_lines) {
    auto colon = line.find(':');
    if (colon != std::string::npos && lower(trim(line.substr(0, colon))) == want)
      return trim(std::string_view(line).substr(colon + 1));
  }
  return {};
}

std::string RawRequest::method() const { return request_line.substr(0, request_line.find(' ')); }

std::string RawRequest::target() const {
  auto a = request_line.find(' ');
  if (a == std::string::npos) return {};
  auto b = request_line.find(' ', a + 1);
  return request_line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

bool RawConnection::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void RawConnection::reset() {
  linger l{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  reset_ = true;
}

bool RawConnection::pause(int ms) {
  std::unique_lock lock(server_.mutex_);
  return !server_.stop_cv_.wait_for(lock, std::chrono::milliseconds(ms),
                                    [&] { return server_.stopping_.load(); });
}

RawServer::RawServer(Responder responder)
    : RawServer(
          [responder = std::move(responder)](RawConnection& c) { c.write(responder(c.request())); },
          0) {}

RawServer::RawServer(ConnectionHandler handler, int) : handler_(std::move(handler)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error("socket failed");
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 64) != 0)
    throw std::runtime_error("bind/listen failed");
  socklen_t len = sizeof addr;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { serve(); });
}

RawServer::~RawServer() { stop(); }

void RawServer::stop() {
  if (stopping_.exchange(true)) return;
  {
    std::lock_guard lock(mutex_);
    stop_cv_.notify_all();
  }
  ::shutdown(listen_fd_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  ::close(listen_fd_);
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

std::string RawServer::base_url() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<RawRequest> RawServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t RawServer::request_count() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::string RawServer::response(std::string_view body, std::string_view extra_headers,
                                std::string_view status) {
  std::string r = "HTTP/1.1 " + std::string(status) + "\r\n";
  r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (!extra_headers.empty()) {
    r += extra_headers;
    if (extra_headers.size() < 2 || extra_headers.substr(extra_headers.size() - 2) != "\r\n")
      r += "\r\n";
  }
  r += "Connection: close\r\n\r\n";
  r += body;
  return r;
}

void RawServer::serve() {
  while (!stopping_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, fd] { handle(fd); });
  }
}

void RawServer::handle(int fd) {
  RawConnection conn(fd, *this);
  RawRequest& req = conn.request_;
  std::string data;
  size_t head_end;
  bool ok = true;
  while ((head_end = data.find("\r\n\r\n")) == std::string::npos)
    if (!(ok = read_some(fd, data))) break;
  if (ok) {
    std::string head = data.substr(0, head_end);
    size_t pos = 0;
    bool first = true;
    while (pos <= head.size()) {
      size_t eol = head.find("\r\n", pos);
      std::string line = head.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
      if (first)
        req.request_line = line;
      else
        req.header_lines.push_back(line);
      first = false;
      if (eol == std::string::npos) break;
      pos = eol + 2;
    }
    size_t want = 0;
    std::string length = req.header("Content-Length");
    if (!length.empty()) want = std::stoul(length);
    if (lower(req.header("Expect")) == "100-continue") conn.write("HTTP/1.1 100 Continue\r\n\r\n");
    std::string body = data.substr(head_end + 4);
    while (body.size() < want && read_some(fd, body)) {
    }
    req.body = body;
    req.raw = head + "\r\n\r\n" + body;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(req);
    }
    handler_(conn);
  }
  if (!conn.reset_) ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

}  // namespace corvane::test
