#include "shell/appdirs.h"

#include <QDir>

namespace {

QString Comparable(const QString& directory) {
  QString path = QDir::cleanPath(QDir::fromNativeSeparators(directory)).toLower();
  if (!path.endsWith(u'/')) path += u'/';
  return path;
}

}  // namespace

bool InstalledForAllUsers(const QString& programDir) {
  const QString program = Comparable(programDir);
  for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
    const QString folder = qEnvironmentVariable(name);
    if (!folder.isEmpty() && program.startsWith(Comparable(folder))) return true;
  }
  return false;
}
