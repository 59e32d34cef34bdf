#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/testplatform.h"
#include "support/waituntil.h"

#include "shell/logfile.h"
#include "shell/logline.h"
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
  log.Close();
  ASSERT_TRUE(QDir(ProgramDir() + "Logs").removeRecursively());
  ASSERT_TRUE(log.Write("two"));
  EXPECT_EQ(ReadAll(LogPath("20240131.log")), "[31.01.2024 23:59:59.999]\ttwo\r\n");
}

// Whether this process holds a descriptor of the file, deleted or not.
bool HeldOpen(const QString& path) {
  return FileHeldOpenHere(QFileInfo(path).absoluteFilePath().toStdString());
}

// The file is kept open between lines only for a short while: a file deleted or renamed
// meanwhile is left behind, and the lines after it go to a new file of the day's name.
TEST_F(LogFileTest, FileDeletedOrRenamedWhileLoggingIsLeftWithinTheKeepOpenTime) {
  for (const bool rename : {false, true}) {
    SCOPED_TRACE(rename ? "renamed" : "deleted");
    TLogFile log([this] { return Now; });
    log.SetProgramDir(ProgramDir());
    ASSERT_TRUE(log.Write("one"));
    EXPECT_TRUE(HeldOpen(LogPath("20240131.log")));
    if (rename) {
      ASSERT_TRUE(QFile::rename(LogPath("20240131.log"), LogPath("old.log")));
    } else {
      ASSERT_TRUE(QFile::remove(LogPath("20240131.log")));
    }
    // The timer closes the idle file; without an event loop the next line does. Waited
    // for as it happens: a loaded machine may run the timer late.
    const QString left = rename ? LogPath("old.log") : LogPath("20240131.log");
    EXPECT_TRUE(WaitUntil([&] { return !HeldOpen(left); }, 60000));
    ASSERT_TRUE(log.Write("two"));
    EXPECT_EQ(ReadAll(LogPath("20240131.log")), "[31.01.2024 23:59:59.999]\ttwo\r\n");
    if (rename) {
      EXPECT_EQ(ReadAll(LogPath("old.log")), "[31.01.2024 23:59:59.999]\tone\r\n");
    }
    QFile::remove(LogPath("20240131.log"));
    QFile::remove(LogPath("old.log"));
  }
}

TEST_F(LogFileTest, KeptOpenFileIsLeftAtTheDayChangeAndOnClose) {
  TLogFile log([this] { return Now; });
  log.SetProgramDir(ProgramDir());
  ASSERT_TRUE(log.Write("before"));
  Now = QDateTime(QDate(2024, 2, 1), QTime(0, 0, 0, 0));
  ASSERT_TRUE(log.Write("after"));
  EXPECT_FALSE(HeldOpen(LogPath("20240131.log")));
  EXPECT_TRUE(HeldOpen(LogPath("20240201.log")));
  log.Close();
  EXPECT_FALSE(HeldOpen(LogPath("20240201.log")));
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
  QStringList reported;
  log.Unwritable = [&](const QString& place) {
    reported << place;
    log.Write("report");  // the window logs the loss, which tries the file again
  };
  EXPECT_FALSE(log.Write("lost"));
  EXPECT_FALSE(log.Write("lost too"));
  EXPECT_TRUE(log.Directory().isEmpty());
  // Said once for a run of lost lines, and again after a line was written in between.
  EXPECT_EQ(reported, QStringList{Dir.filePath("blocker") + "/Logs/"});
  log.SetProgramDir(ProgramDir());
  EXPECT_TRUE(log.Write("written"));
  log.SetProgramDir(Dir.filePath("blocker") + "/");
  EXPECT_FALSE(log.Write("lost again"));
  EXPECT_EQ(reported.size(), 2);
}

}  // namespace
