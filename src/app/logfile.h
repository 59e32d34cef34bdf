#pragma once
#include <QDateTime>
#include <QString>
#include <functional>
#include <string_view>

// The daily log files. Each line is appended at once, in its own write, to the file of
// the day the line was logged on, so a line after midnight starts the next day's file.
// The directory "Logs" is made only when the first line is written. When it cannot be
// made or written in the program's directory, the logs go to the fallback directory
// instead, for the rest of the run, and Relocated is called once with the new place.
class TLogFile {
public:
  using TClock = std::function<QDateTime()>;

  explicit TLogFile(TClock clock = {});

  void SetProgramDir(const QString& programDir);    // ends in '/'
  void SetFallbackDir(const QString& directory);    // ends in '/'

  // False when the line could not be written; the next line tries again.
  bool Write(std::string_view line);

  // The directory lines go to; empty until the first line has been written.
  QString Directory() const { return Resolved; }

  std::function<void(const QString& directory)> Relocated;

private:
  QString ResolveDirectory();

  TClock Clock;
  QString ProgramDir;
  QString FallbackDir;
  QString Resolved;
  bool RelocationToReport = false;
};
