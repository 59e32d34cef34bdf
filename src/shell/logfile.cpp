#include "shell/logfile.h"

#include <QDir>

#include "shell/appdirs.h"
#include "shell/fileappend.h"
#include "shell/logline.h"

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
  CloseTimer.setSingleShot(true);
  CloseTimer.setInterval(kKeepOpenFor);
  QObject::connect(&CloseTimer, &QTimer::timeout, &CloseTimer, [this] { File.Close(); });
}

void TLogFile::Close() {
  CloseTimer.stop();
  File.Close();
}

void TLogFile::SetProgramDir(const QString& programDir) {
  ProgramDir = programDir;
  Resolved.clear();
  Close();
}

void TLogFile::SetFallbackDir(const QString& directory) {
  FallbackDir = directory;
  Resolved.clear();
  Close();
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

bool TLogFile::Append(const QString& path, const QByteArray& record) {
  const auto now = std::chrono::steady_clock::now();
  if (File.IsOpen() && (path != OpenPath || now - OpenedAt >= kKeepOpenFor)) Close();
  if (!File.IsOpen()) {
    if (!File.Open(path)) return false;
    OpenPath = path;
    OpenedAt = now;
    CloseTimer.start();
  }
  if (File.Append(record)) return true;
  Close();
  return false;
}

bool TLogFile::Write(std::string_view line) {
  const QDateTime now = Clock();
  const bool wasResolved = !Resolved.isEmpty();
  const QString directory = ResolveDirectory();
  QString place = ProgramDir + QStringLiteral("Logs/");
  bool written = false;
  if (!directory.isEmpty()) {
    place = directory + LogFileName(now.date());
    const QByteArray record = LogFileRecord(now, line);
    written = Append(place, record);
    // The directory may have been removed while the program runs. It is made again only
    // when a line fails: looking for it before every line cost more than the write.
    if (!written && wasResolved && QDir().mkpath(directory)) written = Append(place, record);
  }
  // Reported after the line itself, since a report is logged (and written) in turn.
  if (RelocationToReport) {
    RelocationToReport = false;
    if (Relocated) Relocated(directory);
  }
  if (written) {
    LossReported = false;
  } else if (!LossReported) {
    LossReported = true;
    if (Unwritable) Unwritable(place);
  }
  return written;
}
