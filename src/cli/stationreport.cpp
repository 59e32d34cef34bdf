#include "cli/stationreport.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include "shell/fileappend.h"

QString CsvField(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r'))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

// On Windows a file opened with FILE_APPEND_DATA alone takes every write at its end as it
// stands at that moment, whoever else appends (File access rights constants, Microsoft
// Learn: learn.microsoft.com/windows/win32/fileio/file-access-rights-constants), where
// an append mode that seeks to the end once at open lets two stations overwrite each
// other's lines. A program that holds the file without sharing it for writing, as a
// spreadsheet program does, makes the open fail with ERROR_SHARING_VIOLATION until it
// lets go (Creating and opening files, Microsoft Learn: learn.microsoft.com/windows/
// win32/fileio/creating-and-opening-files): the open is tried again until RetryFor ends.
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

QString TStationReport::Line(const TRecord& record) {
  return QStringList{record.Finished.toString(Qt::ISODate),
                     QString::number(record.Serial),
                     record.Adapter,
                     CsvField(record.FirmwareBefore),
                     CsvField(record.ImageVersion),
                     record.ResultCode ? QString::number(*record.ResultCode) : QString(),
                     CsvField(record.ResultText),
                     QString::number(record.Seconds, 'f', 1)}
      .join(u',');
}

bool TStationReport::Append(const TRecord& record, QString& error) {
  return AppendBytes((Line(record) + u'\n').toUtf8(), error);
}
