// corvane-service --data DIR [--port N] [--domain D] [--main-host H] [--shortener-host H]
//                 [--seed-demo]
// Serves the local Corvane service on 127.0.0.1 until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "localservice/local_service.h"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "usage: corvane-service --data DIR [--port N] [--domain D] [--main-host H]\n"
      "                       [--shortener-host H] [--seed-demo]\n"
      "\n"
      "The local Corvane service on 127.0.0.1: space pages, upload servers, back end,\n"
      "registration, downloads and the address shortener, told apart by host name.\n"
      "\n"
      "  --data DIR            database and file contents (created when missing)\n"
      "  --port N              port to listen on (default 0: any free port)\n"
      "  --domain D            spaces are ACCOUNT.D (default corvane.localhost; the port is\n"
      "                        added when D has none)\n"
      "  --main-host H         back end and registration (default www.DOMAIN)\n"
      "  --shortener-host H    address shortener (default s.DOMAIN)\n"
      "  --seed-demo           create the demo space (account demo, password demo)\n"
      "\n"
      "The first line on standard output is \"listening on 127.0.0.1:PORT domain DOMAIN\".\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  corvane::LocalService::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "corvane-service: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      out = argv[++i];
    };
    if (arg == "--data") {
      value(options.data_dir);
    } else if (arg == "--port") {
      std::string port;
      value(port);
      char* end = nullptr;
      long n = std::strtol(port.c_str(), &end, 10);
      if (port.empty() || *end || n < 0 || n > 65535) {
        std::fprintf(stderr, "corvane-service: bad port %s\n", port.c_str());
        return 2;
      }
      options.port = static_cast<int>(n);
    } else if (arg == "--domain") {
      value(options.domain);
    } else if (arg == "--main-host") {
      value(options.main_host);
    } else if (arg == "--shortener-host") {
      value(options.shortener_host);
    } else if (arg == "--seed-demo") {
      options.seed_demo = true;
    } else if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "corvane-service: unknown argument %s\n", arg.c_str());
      usage(stderr);
      return 2;
    }
  }
  if (options.data_dir.empty()) {
    usage(stderr);
    return 2;
  }

  // The signals are waited for below; block them before any thread starts, so that
  // none of the server's threads takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::string error;
  std::unique_ptr<corvane::LocalService> service = corvane::LocalService::start(options, &error);
  if (!service) {
    std::fprintf(stderr, "corvane-service: %s\n", error.c_str());
    return 1;
  }
  std::printf("listening on 127.0.0.1:%d domain %s\n", service->port(), service->domain().c_str());
  std::printf("main host %s shortener %s\n", service->main_host().c_str(),
              service->shortener_host().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  service->stop();
  std::printf("stopped\n");
  return 0;
}
