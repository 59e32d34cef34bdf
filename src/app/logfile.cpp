#include "app/logfile.h"

#include <QDir>

#include "app/appdirs.h"
#include "app/fileappend.h"
#include "app/logline.h"

namespace {

bool UsableDirectory(const QString& directory) {
  return QDir().mkpath(directory) && DirectoryAcceptsFiles(directory);
}

// The local time now. The local offset from UTC is looked up once a second: every lookup
// has the C library look at the system's time-zone file again, which cost as much as a
// line's write to the log. An offset only ever changes on a whole second.
QDateTime LocalNow() {
  thread_local qint64 second = -1;
  thread_local int offset = 0;
  const QDateTime utc = QDateTime::currentDateTimeUtc();
  const qint64 now = utc.toSecsSinceEpoch();
  if (now != second) {
    offset = utc.toLocalTime().offsetFromUtc();
    second = now;
  }
  return utc.toOffsetFromUtc(offset);
}

}  // namespace

TLogFile::TLogFile(TClock clock) : Clock(std::move(clock)) {
  if (!Clock) Clock = &LocalNow;
}

void TLogFile::SetProgramDir(const QString& programDir) {
  ProgramDir = programDir;
  Resolved.clear();
}

void TLogFile::SetFallbackDir(const QString& directory) {
  FallbackDir = directory;
  Resolved.clear();
}

QString TLogFile::ResolveDirectory() {
  if (!Resolved.isEmpty()) return Resolved;
  const QString primary = ProgramDir + QStringLiteral("Logs/");
  if (UsableDirectory(primary)) {
    Resolved = primary;
    return Resolved;
  }
  if (FallbackDir.isEmpty()) return {};
  const QString fallback = FallbackDir + QStringLiteral("Logs/");
  if (!UsableDirectory(fallback)) return {};
  Resolved = fallback;
  RelocationToReport = true;
  return Resolved;
}

bool TLogFile::Write(std::string_view line) {
  const QDateTime now = Clock();
  const bool wasResolved = !Resolved.isEmpty();
  const QString directory = ResolveDirectory();
  if (directory.isEmpty()) return false;
  const QString path = directory + LogFileName(now.date());
  const QByteArray record = LogFileRecord(now, line);
  bool written = AppendToFile(path, record);
  // The directory may have been removed while the program runs. It is made again only
  // when a line fails: looking for it before every line cost more than the write.
  if (!written && wasResolved && QDir().mkpath(directory)) written = AppendToFile(path, record);
  // Reported after the line itself, since the report is logged (and written) in turn.
  if (RelocationToReport) {
    RelocationToReport = false;
    if (Relocated) Relocated(directory);
  }
  return written;
}
