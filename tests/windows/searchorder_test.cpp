// The maker's library is loaded by its bare name with the working directory taken out of
// the search order: a VLUSB.dll planted where the program is started from is not loaded;
// the one beside the program is. Run in a second process, whose search order starts
// from its own folder.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString RunLoad(const QString& program, const QString& workingDirectory) {
  QProcess process;
  process.setWorkingDirectory(workingDirectory);
  process.start(program, {QStringLiteral("loadqn")});
  if (!process.waitForFinished(120000)) return QStringLiteral("did not end");
  return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

TEST(DriverSearchOrder, ALibraryInTheWorkingDirectoryIsNotLoadedTheOneBesideTheProgramIs) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("app")));
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("work")));
  const QString program = dir.filePath(QStringLiteral("app/wintesthelper.exe"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(VL_WINTESTHELPER), program));
  ASSERT_TRUE(QFile::copy(QStringLiteral(VL_PLAIN_QN), dir.filePath(QStringLiteral("work/VLUSB.dll"))));

  EXPECT_EQ(RunLoad(program, dir.filePath(QStringLiteral("work"))), QStringLiteral("missing"));

  const QString beside = dir.filePath(QStringLiteral("app/VLUSB.dll"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(VL_PLAIN_QN), beside));
  const QString loaded = RunLoad(program, dir.filePath(QStringLiteral("work")));
  EXPECT_EQ(loaded.toLower(), (QStringLiteral("loaded ") + QDir::toNativeSeparators(beside)).toLower());
}

}  // namespace
