#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/logfile.h"
#include "app/logline.h"
#include "app/qtprint.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(LogLineTest, Prefixes) {
  struct Case {
    std::int32_t Serial;
    const char* Prefix;
  };
  const Case cases[] = {
      {0, "Прибор -------\t"},
      {1234, "Прибор    1234\t"},
      {12345678, "Прибор 12345678\t"},
      {-1, "Прибор      -1\t"},
      {1, "Прибор       1\t"},
      {-2147483647 - 1, "Прибор -2147483648\t"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogLinePrefix(c.Serial), c.Prefix) << c.Serial;
}

TEST(LogLineTest, ColoursByLevel) {
  EXPECT_EQ(LogLevelColor(llInfo), QColor(0, 0, 0));
  EXPECT_EQ(LogLevelColor(llError), QColor(255, 0, 0));
  EXPECT_EQ(LogLevelColor(llSuccess), QColor(0, 128, 0));
  EXPECT_EQ(LogLevelColor(static_cast<TLogLevel>(3)), QColor(0, 0, 0));
  EXPECT_EQ(LogLevelColor(static_cast<TLogLevel>(255)), QColor(0, 0, 0));
}

TEST(LogLineTest, FileNameAndRecord) {
  EXPECT_EQ(LogFileName(QDate(2024, 1, 31)), "20240131.log");
  EXPECT_EQ(LogFileName(QDate(987, 12, 1)), "09871201.log");
  const QDateTime when(QDate(2024, 1, 31), QTime(7, 5, 9, 42));
  // "Прибор -------\tОк" in Windows-1251, after the time stamp; CR LF at the end.
  EXPECT_EQ(LogFileRecord(when, "Прибор -------\tОк"),
            QByteArray("[31.01.2024 07:05:09.042]\t\xcf\xf0\xe8\xe1\xee\xf0 -------\t\xce\xea\r\n"));
}

class LogFileTest : public ::testing::Test {
protected:
  QString ProgramDir() const { return Dir.path() + u'/'; }
  QString LogPath(const char* name) const { return ProgramDir() + "Logs/" + name; }

  QTemporaryDir Dir;
  QDateTime Now{QDate(2024, 1, 31), QTime(23, 59, 59, 999)};
};

TEST_F(LogFileTest, DayChangeStartsTheNextFile) {
  TLogFile log([this] { return Now; });
  log.SetProgramDir(ProgramDir());
  EXPECT_FALSE(QDir(ProgramDir() + "Logs").exists());
  ASSERT_TRUE(log.Write("before"));
  Now = QDateTime(QDate(2024, 2, 1), QTime(0, 0, 0, 0));
  ASSERT_TRUE(log.Write("after"));
  EXPECT_EQ(ReadAll(LogPath("20240131.log")), "[31.01.2024 23:59:59.999]\tbefore\r\n");
  EXPECT_EQ(ReadAll(LogPath("20240201.log")), "[01.02.2024 00:00:00.000]\tafter\r\n");
}

TEST_F(LogFileTest, AppendsToTheFileOfAnEarlierRun) {
  ASSERT_TRUE(QDir().mkpath(ProgramDir() + "Logs"));
  {
    QFile earlier(LogPath("20240131.log"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier\r\n");
  }
  TLogFile log([this] { return Now; });
  log.SetProgramDir(ProgramDir());
  ASSERT_TRUE(log.Write("later"));
  EXPECT_EQ(ReadAll(LogPath("20240131.log")), "earlier\r\n[31.01.2024 23:59:59.999]\tlater\r\n");
}

TEST_F(LogFileTest, RemovedDirectoryIsMadeAgain) {
  TLogFile log([this] { return Now; });
  log.SetProgramDir(ProgramDir());
  ASSERT_TRUE(log.Write("one"));
  ASSERT_TRUE(QDir(ProgramDir() + "Logs").removeRecursively());
  ASSERT_TRUE(log.Write("two"));
  EXPECT_EQ(ReadAll(LogPath("20240131.log")), "[31.01.2024 23:59:59.999]\ttwo\r\n");
}

TEST_F(LogFileTest, FallsBackWhenTheProgramDirectoryTakesNoLogs) {
  // A program directory beneath a plain file can never be made.
  QFile blocker(Dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TLogFile log([this] { return Now; });
  log.SetProgramDir(Dir.filePath("blocker") + "/sub/");
  log.SetFallbackDir(ProgramDir() + "user/");
  QStringList reported;
  log.Relocated = [&](const QString& directory) {
    reported << directory;
    log.Write("note");  // the window logs the new place, which writes again
  };
  ASSERT_TRUE(log.Write("first"));
  ASSERT_TRUE(log.Write("second"));
  EXPECT_EQ(reported, QStringList{ProgramDir() + "user/Logs/"});
  EXPECT_EQ(log.Directory(), ProgramDir() + "user/Logs/");
  EXPECT_EQ(ReadAll(ProgramDir() + "user/Logs/20240131.log"),
            "[31.01.2024 23:59:59.999]\tfirst\r\n[31.01.2024 23:59:59.999]\tnote\r\n"
            "[31.01.2024 23:59:59.999]\tsecond\r\n");
}

TEST_F(LogFileTest, NowhereToWriteFailsQuietly) {
  QFile blocker(Dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TLogFile log([this] { return Now; });
  log.SetProgramDir(Dir.filePath("blocker") + "/");
  log.SetFallbackDir(Dir.filePath("blocker") + "/user/");
  EXPECT_FALSE(log.Write("lost"));
  EXPECT_TRUE(log.Directory().isEmpty());
}

}  // namespace
