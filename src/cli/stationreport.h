#pragma once
#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

// The station's record of every finished write: one CSV line per write appended to a
// file the line keeps, which the line's records system takes in and people open in a
// spreadsheet program.
//
// Stations on several machines may append to one file on a share, and a person may have
// it open in a spreadsheet program. Each line goes in one atomic append (the system puts
// it at the end of the file as it stands, never over another station's line), and a file
// another program holds without letting others write is tried again for a while before
// the record counts as lost.
//
// The file is UTF-8 with CRLF line ends; a new one starts with a byte-order mark, without
// which a spreadsheet program on a Russian Windows reads it in the ANSI code page and
// garbles the Cyrillic status texts. A file whose header is not this program's is never
// appended to, so that a column never means two things in one file.
class TStationReport {
public:
  explicit TStationReport(QString path, std::chrono::milliseconds retryFor = std::chrono::seconds(3))
      : Path(std::move(path)), RetryFor(retryFor) {}

  enum class TOpenResult {
    Ready,           // the file takes lines (a new one has its header now)
    Unwritable,      // the file cannot be written, or not read to check its header
    HeaderMismatch,  // the file has lines under another header: left as it is
  };
  // Checked before any device is touched; the reason for anything but Ready in `error`.
  TOpenResult Open(QString& error);

  struct TRecord {
    QDateTime Finished;  // written in its own zone (the station's local time) with the offset
    QString Station;     // may be empty
    QString Operator;    // may be empty
    std::int32_t Serial = 0;
    QString Adapter;                         // "ftdi" or "qn"
    QString FirmwareBefore;                  // as the device reported it
    QString ImageVersion;
    QString ImageSha256;                     // lower-case hex
    QString Result;                          // "written", "failed", "interrupted" or "current"
    std::optional<int> ResultCode;           // none when the device was not written
    std::optional<std::uint32_t> LastReply;  // none when the device sent no sector reply
    QString ResultText;                      // may come partly from the device
    double Seconds = 0;
  };
  // False when the line could not be added, with the reason in `error`.
  bool Append(const TRecord& record, QString& error);
  // The record's line as the file gets it, without its line break.
  static QString Line(const TRecord& record);
  // The first line of every report file, without its line break.
  static QString Header();

  const QString& FilePath() const { return Path; }

private:
  // One atomic append, tried again while the file is held by another program.
  bool AppendBytes(const QByteArray& bytes, QString& error);
  TOpenResult CheckOrStart(QString& error);

  QString Path;
  std::chrono::milliseconds RetryFor;
};

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString CsvField(const QString& text);
// A text field as the report writes it: one a spreadsheet program would take for a
// formula (=, +, - or @ first) gets an apostrophe in front, then it is a CSV field.
QString CsvTextField(const QString& text);
