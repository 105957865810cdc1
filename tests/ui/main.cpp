// The GUI tests' main: real widgets on the offscreen platform, so the tests need no
// display and ctest needs no environment.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "app/threads.h"
#include "ui/icons.h"

namespace {

QtMessageHandler standard_handler = nullptr;

// The offscreen platform reports every window it cannot size as a desktop would.
void quiet_messages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (standard_handler)
    standard_handler(type, context, message);
  else
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  standard_handler = qInstallMessageHandler(quiet_messages);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  corvane::init_pictures();
  corvane::set_message_pump([] { QCoreApplication::processEvents(); });
  return RUN_ALL_TESTS();
}
