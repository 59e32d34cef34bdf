#include <QApplication>
#include <gtest/gtest.h>

// gtest_discover_tests runs the binary without the test's environment, so the platform
// is chosen here when the caller chose none.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
