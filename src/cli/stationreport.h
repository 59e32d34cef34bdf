#pragma once
#include <QDateTime>
#include <QString>

// The station's record of every finished write: one CSV line per write appended to a
// file the line keeps (date and time, serial number, adapter kind, firmware version
// before, image version, result code, result text, seconds taken).
class TStationReport {
public:
  explicit TStationReport(QString path) : Path(std::move(path)) {}

  // Whether the file takes lines; checked before any device is touched. The header goes
  // into a new file.
  bool Open(QString& error);

  struct TRecord {
    QDateTime Finished;
    std::int32_t Serial = 0;
    QString Adapter;
    QString FirmwareBefore;
    QString ImageVersion;
    int ResultCode = 0;
    QString ResultText;
    double Seconds = 0;
  };
  bool Append(const TRecord& record);

private:
  QString Path;
};

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString CsvField(const QString& text);
