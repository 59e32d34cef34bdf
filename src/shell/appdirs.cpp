#include "shell/appdirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString WithSeparator(QString directory) {
  if (!directory.isEmpty() && !directory.endsWith(u'/')) directory += u'/';
  return directory;
}

}  // namespace

QString ExecutableDirectory() {
  return WithSeparator(QCoreApplication::applicationDirPath());
}

QString UserDataDirectory() {
  return WithSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

bool DirectoryAcceptsFiles(const QString& directory) {
  if (directory.isEmpty() || !QDir(directory).exists()) return false;
  QTemporaryFile probe(QDir(directory).filePath(QStringLiteral("probe-XXXXXX.tmp")));
  return probe.open();
}

QString LogFolderFor(const QString& programDir) {
  const QString folder = WithSeparator(programDir);
  return InstalledForAllUsers(folder) ? UserDataDirectory() : folder;
}
