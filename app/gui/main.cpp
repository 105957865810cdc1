// corvane: the desktop client.
//
//   corvane [--demo] [--domain HOST[:PORT]] [--main-host HOST[:PORT]] [--shortener-host HOST]
//
// Start-up makes the process-wide objects, registers the exit routine, opens the main
// window and runs the message loop until the window is closed. The process then ends at
// once: worker threads still running (a login, a listing, a transfer) are not waited for.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "app/threads.h"
#include "localservice/local_service.h"
#include "service/endpoints.h"
#include "ui/icons.h"
#include "ui/main/main_window.h"
#include "ui/process_objects.h"

namespace {

struct Arguments {
  bool demo = false;
  bool help = false;
  std::string domain, main_host, shortener_host;
  std::string error;
};

Arguments parse_arguments(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        a.error = arg + " needs a value";
        return;
      }
      out = argv[++i];
    };
    if (arg == "--demo") a.demo = true;
    else if (arg == "--help" || arg == "-h") a.help = true;
    else if (arg == "--domain") value(a.domain);
    else if (arg == "--main-host") value(a.main_host);
    else if (arg == "--shortener-host") value(a.shortener_host);
    else a.error = "unknown argument " + arg;
    if (!a.error.empty()) break;
  }
  return a;
}

void print_help() {
  std::cout << R"(usage: corvane [options]

The Corvane desktop client.

options:
  --demo                   run the local stand-in of the service inside the program, with
                           a demo space (log in as demo / demo); its data stays in the
                           user's data directory between runs. The host options below
                           then name the hosts it answers for (default corvane.localhost)
  --domain HOST[:PORT]     the service's domain (default corvane.example, or $CORVANE_DOMAIN)
  --main-host HOST[:PORT]  back end and registration host (default www.DOMAIN)
  --shortener-host HOST    address shortener (default s.DOMAIN)
  --help                   this text
)";
}

// Where the demo keeps its space: the user's data directory, else the temporary one.
std::string demo_data_directory() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty() || !QDir().mkpath(base)) base = QDir::tempPath();
  return (base + QStringLiteral("/corvane/demo")).toStdString();
}

// The exit routine. Worker threads may still be using the process-wide objects (a
// login waiting for its answer, a transfer, the status poll), so they are left as they
// are: running their destructors, or the static destructors of the libraries under
// them, while such a thread works would crash the exit. Output is flushed and the
// process ends without unwinding; the system reclaims the rest.
[[noreturn]] void exit_routine(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments args = parse_arguments(argc, argv);
  if (args.help) {
    print_help();
    return 0;
  }
  if (!args.error.empty()) {
    std::cerr << "corvane: " << args.error << " (see --help)\n";
    return 2;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("corvane"));
  corvane::init_pictures();

  // The process-wide objects: the session values and result lists, the prompter and the
  // three service clients. The skin module comes with the skin step; until then the
  // creation handler's skin hook does nothing.
  auto* objects = new corvane::ProcessObjects;

  corvane::LocalService* demo_service = nullptr;
  if (args.demo) {
    corvane::LocalService::Options options;
    options.data_dir = demo_data_directory();
    options.seed_demo = true;
    // The local service answers for the hosts given, else for its own under .localhost.
    if (!args.domain.empty()) options.domain = args.domain;
    options.main_host = args.main_host;
    options.shortener_host = args.shortener_host;
    std::string error;
    demo_service = corvane::LocalService::start(options, &error).release();
    if (!demo_service) {
      std::cerr << "corvane: the demo service did not start: " << error << "\n";
      return 1;
    }
    corvane::set_endpoints(corvane::Endpoints{demo_service->domain(), demo_service->main_host(),
                                              demo_service->shortener_host()});
    std::cerr << "corvane: demo service on " << demo_service->domain() << " (data in "
              << options.data_dir << "); log in as demo / demo\n";
  } else {
    corvane::set_endpoints(corvane::resolve_endpoints(args.domain, args.main_host, args.shortener_host));
  }

  // Waiting on the window thread (the status poll's wait) keeps its windows responsive.
  corvane::set_message_pump([] { QCoreApplication::processEvents(); });

  corvane::MainWindow::Hooks hooks;
  hooks.apply_skin = [] {};
  auto* window = new corvane::MainWindow(*objects, hooks);
  QObject::connect(window, &corvane::MainWindow::window_closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  window->show();

  const int status = app.exec();
  exit_routine(status);
}
