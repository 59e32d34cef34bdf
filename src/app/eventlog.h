#pragma once
#include <QObject>
#include <string>

#include "protocol/logsink.h"
#include "shell/logfile.h"

class QCheckBox;
class TLogPane;

// The window's event log: every line goes to the pane, and to the daily file while the
// "write the log to a file" box is checked. Main thread only; workers log through a
// TThreadLogSink that hands their lines over.
class TEventLog : public QObject, public TLogSink {
  Q_OBJECT
public:
  TEventLog(TLogPane& pane, QCheckBox& writeToFile, TLogFile::TClock clock);

  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;
  // Paints the lines still waiting for the pane's next batch.
  void Flush();

  // Where the files go: the program's folder (or the user's, for a copy installed for
  // all users), and the user's folder when that takes no file.
  void SetFolders(const QString& programDir, const QString& fallbackDir);

private:
  TLogPane& Pane;
  QCheckBox& WriteToFile;
  TLogFile File;
};
