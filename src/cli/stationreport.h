#pragma once
#include <QDateTime>
#include <QString>
#include <chrono>
#include <optional>

// The station's record of every finished write: one CSV line per write appended to a
// file the line keeps (date and time, serial number, adapter kind, firmware version
// before, image version, result code, result text, seconds taken).
//
// Stations on several machines may append to one file on a share, and a person may have
// it open in a spreadsheet program. Each line goes in one atomic append (the system puts
// it at the end of the file as it stands, never over another station's line), and a file
// another program holds without letting others write is tried again for a while before
// the record counts as lost.
class TStationReport {
public:
  explicit TStationReport(QString path, std::chrono::milliseconds retryFor = std::chrono::seconds(3))
      : Path(std::move(path)), RetryFor(retryFor) {}

  // Whether the file takes lines; checked before any device is touched. The header goes
  // into a new file.
  bool Open(QString& error);

  struct TRecord {
    QDateTime Finished;
    QString Station;
    QString Operator;
    std::int32_t Serial = 0;
    QString Adapter;
    QString FirmwareBefore;
    QString ImageVersion;
    QString ImageSha256;
    QString Result;
    std::optional<int> ResultCode;
    std::optional<std::uint32_t> LastReply;
    QString ResultText;
    double Seconds = 0;
  };
  // False when the line could not be added, with the reason in `error`.
  bool Append(const TRecord& record, QString& error);
  // The record's line as the file gets it, without its line break.
  static QString Line(const TRecord& record);

  const QString& FilePath() const { return Path; }

private:
  // One atomic append, tried again while the file is held by another program.
  bool AppendBytes(const QByteArray& bytes, QString& error);

  QString Path;
  std::chrono::milliseconds RetryFor;
};

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString CsvField(const QString& text);
