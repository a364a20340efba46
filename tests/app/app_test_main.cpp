#include <QApplication>

#include <gtest/gtest.h>

#include "app/program.h"

// Widgets need an application object, and it must exist before any test
// builds a window. Without a platform chosen by the caller the tests run on
// Qt's offscreen platform, so they need no display.
int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  zintrel::PrepareApplication(application);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
