#include "cli/stationreport.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include "app/fileappend.h"

QString CsvField(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r'))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

bool TStationReport::AppendBytes(const QByteArray& bytes, QString& error) {
  const QDeadlineTimer deadline(RetryFor);
  for (;;) {
    TAppendFile file;
    if (file.Open(Path)) {
      if (file.Append(bytes)) return true;
      error = QStringLiteral("the line was not written");
      return false;  // a part may be in the file already: writing it again would double it
    }
    if (deadline.hasExpired()) break;
    QThread::msleep(100);
  }
  error = QFileInfo(Path).isDir() ? QStringLiteral("it is a directory")
                                  : QStringLiteral("the file cannot be opened for appending "
                                                   "(held by another program, or not writable)");
  return false;
}

bool TStationReport::Open(QString& error) {
  const QFileInfo info(Path);
  if (info.isDir()) {
    error = QStringLiteral("it is a directory");
    return false;
  }
  const bool fresh = !info.exists() || info.size() == 0;
  return AppendBytes(fresh ? QByteArray("time,serial,adapter,firmware_before,image_version,"
                                        "result_code,result_text,seconds\n")
                           : QByteArray(),
                     error);
}

bool TStationReport::Append(const TRecord& record, QString& error) {
  const QString line = QStringList{record.Finished.toString(Qt::ISODate),
                                   QString::number(record.Serial),
                                   record.Adapter,
                                   CsvField(record.FirmwareBefore),
                                   CsvField(record.ImageVersion),
                                   QString::number(record.ResultCode),
                                   CsvField(record.ResultText),
                                   QString::number(record.Seconds, 'f', 1)}
                           .join(u',') +
                       u'\n';
  return AppendBytes(line.toUtf8(), error);
}
