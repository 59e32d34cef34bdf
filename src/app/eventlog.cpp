#include "app/eventlog.h"

#include <QCheckBox>
#include <QDir>

#include "app/logpane.h"
#include "shell/logline.h"

TEventLog::TEventLog(TLogPane& pane, QCheckBox& writeToFile, TLogFile::TClock clock)
    : Pane(pane), WriteToFile(writeToFile), File(std::move(clock)) {
  File.Relocated = [this](const QString& directory) {
    LogMessage(llInfo, 0, "Лог записывается в каталог %s",
               QDir::toNativeSeparators(directory).toStdString().c_str());
  };
  // Said in the pane once, and again only after the file took lines in between.
  File.Unwritable = [this](const QString& place) {
    LogMessage(llError, 0, "Не удаётся записать лог в %s",
               QDir::toNativeSeparators(place).toStdString().c_str());
  };
  connect(&WriteToFile, &QCheckBox::toggled, this, [this](bool checked) {
    if (!checked) File.Close();
  });
}

void TEventLog::SetFolders(const QString& programDir, const QString& fallbackDir) {
  File.SetProgramDir(programDir);
  File.SetFallbackDir(fallbackDir);
}

void TEventLog::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  const std::string line = LogLinePrefix(serial) + text;
  Pane.AppendLine(level, QString::fromStdString(line));
  // A line that cannot be written is lost to the file (and said once); the next line
  // tries again.
  if (WriteToFile.isChecked()) File.Write(line);
}

void TEventLog::Flush() { Pane.Flush(); }
