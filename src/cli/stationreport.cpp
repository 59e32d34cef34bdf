#include "cli/stationreport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <QThread>

#include <cstdlib>

#include "shell/fileappend.h"

namespace {
const QByteArray kBom("\xEF\xBB\xBF");
const QByteArray kLineEnd("\r\n");
// Enough to hold the header line whole and tell a longer first line from it.
constexpr qint64 kHeaderBytes = 4096;

// ISO 8601 with milliseconds and the offset the time was taken in, +00:00 rather than Z
// for UTC: a time at a station reads as the station's clock showed it, and the offset
// keeps lines from stations in different zones comparable.
QString IsoTime(const QDateTime& time) {
  if (!time.isValid()) return {};
  const int offset = time.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
         QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The first bytes of the file, tried again while another program holds it; an empty
// array for a file that is not there. False when an existing file cannot be read.
bool ReadStart(const QString& path, std::chrono::milliseconds retryFor, QByteArray& start) {
  start.clear();
  const QDeadlineTimer deadline(retryFor);
  for (;;) {
    if (!QFileInfo::exists(path)) return true;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
      start = file.read(kHeaderBytes);
      return true;
    }
    if (deadline.hasExpired()) return false;
    QThread::msleep(100);
  }
}
}  // namespace

QString CsvField(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r'))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

// A version text comes from the device and a status text partly does: a cell starting
// with one of these is a formula to a spreadsheet program, which could then compute
// what a device sent or call out with it. The apostrophe keeps it text; numbers are
// written as numbers and never get one.
QString CsvTextField(const QString& text) {
  if (!text.isEmpty() && (text.front() == u'=' || text.front() == u'+' || text.front() == u'-' ||
                          text.front() == u'@'))
    return CsvField(u'\'' + text);
  return CsvField(text);
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

QString TStationReport::Header() {
  return QStringLiteral("time,station,operator,serial,adapter,firmware_before,image_version,"
                        "image_sha256,result,result_code,last_reply,result_text,seconds");
}

// Two stations starting on one new file would both find it empty and both write the
// header; the lock file beside the report makes the look and the write one step. Its
// creation is the atomic part: O_CREAT|O_EXCL here, CREATE_NEW on Windows, which fails
// when the file exists, also on a share (CreateFileW, Microsoft Learn: learn.microsoft.com/
// windows/win32/api/fileapi/nf-fileapi-createfilew). Where no file can be made beside the
// report (a folder that only lets the report itself be written) the check goes on without
// the lock, as it does when a holder outlasts the wait: a second header is then possible,
// a station that does not start is worse.
TStationReport::TOpenResult TStationReport::Open(QString& error) {
  if (QFileInfo(Path).isDir()) {
    error = QStringLiteral("it is a directory");
    return TOpenResult::Unwritable;
  }
  QLockFile lock(Path + QStringLiteral(".lock"));
  lock.tryLock(5000);
  return CheckOrStart(error);
}

TStationReport::TOpenResult TStationReport::CheckOrStart(QString& error) {
  QByteArray start;
  if (!ReadStart(Path, RetryFor, start)) {
    error = QStringLiteral("the file cannot be read to check its header");
    return TOpenResult::Unwritable;
  }
  const bool hasBom = start.startsWith(kBom);
  if (hasBom) start.remove(0, kBom.size());
  if (start.isEmpty())  // missing, empty, or nothing but the mark
    return AppendBytes((hasBom ? QByteArray() : kBom) + Header().toUtf8() + kLineEnd, error)
               ? TOpenResult::Ready
               : TOpenResult::Unwritable;
  QByteArray first = start.left(start.indexOf('\n'));
  if (first.endsWith('\r')) first.chop(1);
  if (first != Header().toUtf8()) {
    error = QStringLiteral("its first line is not the header this program writes, so its "
                           "columns would not match: %1")
                .arg(QString::fromUtf8(first.left(200)));
    return TOpenResult::HeaderMismatch;
  }
  return AppendBytes(QByteArray(), error) ? TOpenResult::Ready : TOpenResult::Unwritable;
}

QString TStationReport::Line(const TRecord& record) {
  return QStringList{IsoTime(record.Finished),
                     CsvTextField(record.Station),
                     CsvTextField(record.Operator),
                     QString::number(record.Serial),
                     CsvTextField(record.Adapter),
                     CsvTextField(record.FirmwareBefore),
                     CsvTextField(record.ImageVersion),
                     CsvTextField(record.ImageSha256),
                     CsvTextField(record.Result),
                     record.ResultCode ? QString::number(*record.ResultCode) : QString(),
                     record.LastReply ? QString::number(*record.LastReply) : QString(),
                     CsvTextField(record.ResultText),
                     QString::number(record.Seconds, 'f', 3)}
      .join(u',');
}

bool TStationReport::Append(const TRecord& record, QString& error) {
  return AppendBytes((Line(record) + u'\r' + u'\n').toUtf8(), error);
}
