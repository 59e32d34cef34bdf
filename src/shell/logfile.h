#pragma once
#include <QDateTime>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string_view>

#include "shell/fileappend.h"

// The daily log files. Each line is appended at once, in its own write, to the file of
// the day the line was logged on, so a line after midnight starts the next day's file.
// The directory "Logs" is made only when the first line is written. When it cannot be
// made or written in the program's directory, the logs go to the fallback directory
// instead, for the rest of the run, and Relocated is called once with the new place.
//
// A file stays open for kKeepOpenFor after it was opened and is then closed, whether
// lines follow or not; the next line opens it anew by its name. Opening the file for
// every line cost more than the rest of the line's logging together, and a file deleted
// or renamed by someone else is left within that time, so the lines after it go to a
// new file of the day's name.
class TLogFile {
public:
  using TClock = std::function<QDateTime()>;
  static constexpr std::chrono::milliseconds kKeepOpenFor{100};

  explicit TLogFile(TClock clock = {});

  void SetProgramDir(const QString& programDir);    // ends in '/'
  void SetFallbackDir(const QString& directory);    // ends in '/'

  // False when the line could not be written; the next line tries again.
  bool Write(std::string_view line);

  // Closes the file now; the next line opens it again.
  void Close();

  // The directory lines go to; empty until the first line has been written.
  QString Directory() const { return Resolved; }

  std::function<void(const QString& directory)> Relocated;
  // Called with the file or directory that took no line, when a line is lost after the
  // previous one was written (or was the first); not again until a line is written.
  std::function<void(const QString& place)> Unwritable;

private:
  QString ResolveDirectory();
  bool Append(const QString& path, const QByteArray& record);

  TClock Clock;
  QString ProgramDir;
  QString FallbackDir;
  QString Resolved;
  bool RelocationToReport = false;
  bool LossReported = false;

  TAppendFile File;
  QString OpenPath;
  std::chrono::steady_clock::time_point OpenedAt;
  QTimer CloseTimer;
};
