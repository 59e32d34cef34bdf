// The event log of the main window: the pane and the daily files.
#include <QCheckBox>
#include <cstdarg>

#include "app/logline.h"
#include "app/logpane.h"
#include "app/mainform.h"
#include "protocol/textformat.h"

void TMainForm::LogMessage(TLogLevel level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  LogText(level, 0, text);
}

void TMainForm::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  AddLogLine(level, LogLinePrefix(serial) + text);
}

void TMainForm::AddLogLine(TLogLevel level, const std::string& line) {
  reLog->AppendLine(level, QString::fromStdString(line));
  WriteLogFile(line);
}

void TMainForm::WriteLogFile(const std::string& line) {
  if (!cbWritelogToFile->isChecked()) return;
  // A line that cannot be written is lost silently; the next line tries again.
  LogFile.Write(line);
}

void TMainForm::FlushLog() { reLog->Flush(); }
