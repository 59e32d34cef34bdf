// Writes a station report with the records a spreadsheet program is most likely to take
// wrongly, for report_in_calc.py to open: stationreport_sample REPORT.csv (a new file).
#include <QCoreApplication>
#include <QTimeZone>
#include <cstdio>

#include "cli/stationreport.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: stationreport_sample REPORT.csv\n");
    return 2;
  }
  TStationReport report(QString::fromLocal8Bit(argv[1]));
  QString error;
  if (report.Open(error) != TStationReport::TOpenResult::Ready) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(error));
    return 1;
  }
  const QDateTime finished(QDate(2026, 12, 11), QTime(16, 50, 0, 123), QTimeZone(3 * 3600));
  const QString sha = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
  const TStationReport::TRecord records[] = {
      {.Finished = finished, .Station = QStringLiteral("L3-01"), .Operator = QStringLiteral("Иванова"),
       .Serial = 5500250, .Adapter = QStringLiteral("ftdi"), .FirmwareBefore = QStringLiteral("VLQN-2.2"),
       .ImageVersion = QStringLiteral("VLQN-2.3b"), .ImageSha256 = sha, .Result = QStringLiteral("written"),
       .ResultCode = 0, .LastReply = 4096,
       .ResultText = QStringLiteral("Обновление прошивки завершено успешно"), .Seconds = 6.2},
      // Texts a device sent that a spreadsheet program would compute; a negative serial.
      {.Finished = finished, .Station = QStringLiteral("L3-01"), .Operator = QStringLiteral("Иванова"),
       .Serial = -7, .Adapter = QStringLiteral("qn"),
       .FirmwareBefore = QStringLiteral("=HYPERLINK(\"http://example.invalid/\",\"x\")"),
       .ImageVersion = QStringLiteral("-2.1"), .ImageSha256 = sha, .Result = QStringLiteral("failed"),
       .ResultCode = 7, .LastReply = 4294967295u,
       .ResultText = QStringLiteral("Ошибка 7, \"сектор\"\r\nповторите"), .Seconds = 12.3456},
      // Not written: no code, no reply; no station or operator named.
      {.Finished = finished, .Serial = 5500251, .Adapter = QStringLiteral("qn"),
       .FirmwareBefore = QStringLiteral("@VLQN-2.3b"), .ImageVersion = QStringLiteral("VLQN-2.3b"),
       .ImageSha256 = sha, .Result = QStringLiteral("current"),
       .ResultText = QStringLiteral("Прошивка уже записана"), .Seconds = 0.5},
  };
  for (const auto& record : records)
    if (!report.Append(record, error)) {
      std::fprintf(stderr, "%s\n", qUtf8Printable(error));
      return 1;
    }
  return 0;
}
