// The GUI tests' main: real widgets on the offscreen platform, so the tests need no
// display and ctest needs no environment.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/threads.h"
#include "ui/icons.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  corvane::init_pictures();
  corvane::set_message_pump([] { QCoreApplication::processEvents(); });
  return RUN_ALL_TESTS();
}
