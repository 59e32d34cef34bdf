#include "shell/logline.h"

#include "protocol/cp1251.h"
#include "protocol/textformat.h"

std::string LogLinePrefix(std::int32_t serial) {
  if (serial == 0) return "Прибор -------\t";
  return FormatText("Прибор %7d\t", static_cast<int>(serial));
}

QColor LogLevelColor(TLogLevel level) {
  switch (level) {
    case llError: return QColor(255, 0, 0);
    case llSuccess: return QColor(0, 128, 0);
    default: return QColor(0, 0, 0);
  }
}

QString LogFileName(const QDate& date) {
  return date.toString(u"yyyyMMdd") + QStringLiteral(".log");
}

QByteArray LogFileRecord(const QDateTime& when, std::string_view line) {
  std::string record = "[" + when.toString(u"dd.MM.yyyy hh:mm:ss.zzz").toStdString() + "]\t";
  record += line;
  record += "\r\n";
  const std::string bytes = Utf8ToCp1251(record);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
