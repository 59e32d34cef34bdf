#include "shell/appdirs.h"

// A copy the package manager installed (under /usr or /opt) is one for all users: its
// settings and logs go to the user's data directory from the start, without a word, as
// the copy in Program Files does on Windows. Any other directory the user cannot write
// sends them there by that test alone.
bool InstalledForAllUsers(const QString& programDir) {
  return programDir.startsWith(QStringLiteral("/usr/")) || programDir.startsWith(QStringLiteral("/opt/"));
}
