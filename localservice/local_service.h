#pragma once
// The local Corvane service: a stand-in of the web service on 127.0.0.1, serving the
// space pages, the upload servers, the back end, registration, downloads and the address
// shortener on one port, told apart by the Host header. The demo mode of the client and
// the end-to-end tests start it in-process; corvane-service runs it on its own.
//
// With a domain under .localhost (the default) libcurl reaches every host of it without
// any change to /etc/hosts.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane {

struct LocalServiceOptions {
  std::string data_dir;  // database and file contents; created when missing
  int port = 0;          // 0: any free port
  // Spaces are "<account>." + domain. Without a port of its own the listening port is
  // added ("corvane.localhost" becomes "corvane.localhost:PORT").
  std::string domain = "corvane.localhost";
  std::string main_host;       // "" = "www." + domain
  std::string shortener_host;  // "" = "s." + domain
  bool seed_demo = false;      // create the demo space (demo / demo) when missing
  // Seconds since the epoch; empty for the real clock. Lets tests age deleted files.
  std::function<int64_t()> clock;
};

class LocalService {
 public:
  using Options = LocalServiceOptions;

  // Opens the data directory and starts serving; nullptr (with *error set) on failure.
  static std::unique_ptr<LocalService> start(const Options& options, std::string* error = nullptr);
  ~LocalService();
  LocalService(const LocalService&) = delete;
  LocalService& operator=(const LocalService&) = delete;

  std::string domain() const;          // e.g. "corvane.localhost:41234"
  std::string main_host() const;       // e.g. "www.corvane.localhost:41234"
  std::string shortener_host() const;  // e.g. "s.corvane.localhost:41234"
  int port() const;
  // Stops serving; waits for requests in progress. Safe to call more than once.
  void stop();

 private:
  struct Impl;
  explicit LocalService(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
