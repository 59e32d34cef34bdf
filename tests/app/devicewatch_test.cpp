#include "shell/devicewatch.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace {

// The simulator rewrites its bus file by writing a new file and renaming it over the
// old one; every such replacement must be seen, not just the first.
void ReplaceFile(const QString& path, const QByteArray& content) {
  QFile next(path + ".new");
  ASSERT_TRUE(next.open(QIODevice::WriteOnly));
  next.write(content);
  next.close();
  std::error_code error;
  std::filesystem::rename(QFile::encodeName(path + ".new").toStdString(),
                          QFile::encodeName(path).toStdString(), error);
  ASSERT_FALSE(error) << error.message();
}

bool WaitForChange(QSignalSpy& spy) {
  for (int i = 0; i < 300 && spy.isEmpty(); ++i) spy.wait(100);
  return !spy.isEmpty();
}

TEST(DeviceWatchTest, EveryReplacementOfTheSimulatedBusIsAChange) {
  QTemporaryDir dir;
  const QString bus = dir.filePath("bus");
  ReplaceFile(bus, "one");
  TDeviceWatch watch(bus);
  QSignalSpy spy(&watch, &TDeviceWatch::DeviceChange);
  for (const char* content : {"two", "three", "four"}) {
    spy.clear();
    ReplaceFile(bus, content);
    ASSERT_TRUE(WaitForChange(spy)) << content;
    EXPECT_EQ(spy.first().first().toInt(), 7);
  }
}

TEST(DeviceWatchTest, BusFileThatAppearsLaterIsWatched) {
  QTemporaryDir dir;
  const QString bus = dir.filePath("bus");
  TDeviceWatch watch(bus);
  QSignalSpy spy(&watch, &TDeviceWatch::DeviceChange);
  ReplaceFile(bus, "first");
  ASSERT_TRUE(WaitForChange(spy));
  spy.clear();
  ReplaceFile(bus, "second");
  EXPECT_TRUE(WaitForChange(spy));
}

}  // namespace
