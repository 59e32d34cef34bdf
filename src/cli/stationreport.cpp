#include "cli/stationreport.h"

#include <QFile>
#include <QFileInfo>

QString CsvField(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r'))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

bool TStationReport::Open(QString& error) {
  const bool fresh = !QFileInfo::exists(Path) || QFileInfo(Path).size() == 0;
  QFile file(Path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
    error = file.errorString();
    return false;
  }
  if (fresh &&
      file.write("time,serial,adapter,firmware_before,image_version,result_code,result_text,seconds\n") < 0) {
    error = file.errorString();
    return false;
  }
  return true;
}

bool TStationReport::Append(const TRecord& record) {
  QFile file(Path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
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
  // One write per record, so that two stations appending to one file never mix lines.
  return file.write(line.toUtf8()) >= 0;
}
