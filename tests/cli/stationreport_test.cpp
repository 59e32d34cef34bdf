// The station's CSV report as a records system and a spreadsheet program take it: the
// fields of a line, the start of a new file, the refusal of a file with other columns and
// stations sharing one file.
#include "cli/stationreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cctype>
#include <latch>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/qtprint.h"

namespace {

using TRecord = TStationReport::TRecord;
using TOpenResult = TStationReport::TOpenResult;

const QByteArray kBom("\xEF\xBB\xBF");

TRecord Sample() {
  return {.Finished = QDateTime(QDate(2026, 12, 11), QTime(16, 50, 0, 123), QTimeZone(3 * 3600)),
          .Station = QStringLiteral("L3-01"),
          .Operator = QStringLiteral("Иванова"),
          .Serial = 5500250,
          .Adapter = QStringLiteral("ftdi"),
          .FirmwareBefore = QStringLiteral("VLQN-2.2"),
          .ImageVersion = QStringLiteral("VLQN-2.3b"),
          .ImageSha256 = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"),
          .Result = QStringLiteral("written"),
          .ResultCode = 0,
          .LastReply = 4096,
          .ResultText = QStringLiteral("Обновление прошивки завершено успешно"),
          .Seconds = 6.2};
}

// Sample()'s line, field by field.
QStringList SampleFields() {
  return {QStringLiteral("2026-12-11T16:50:00.123+03:00"),
          QStringLiteral("L3-01"),
          QStringLiteral("Иванова"),
          QStringLiteral("5500250"),
          QStringLiteral("ftdi"),
          QStringLiteral("VLQN-2.2"),
          QStringLiteral("VLQN-2.3b"),
          QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"),
          QStringLiteral("written"),
          QStringLiteral("0"),
          QStringLiteral("4096"),
          QStringLiteral("Обновление прошивки завершено успешно"),
          QStringLiteral("6.200")};
}

enum TColumn { cTime, cStation, cOperator, cSerial, cAdapter, cFirmwareBefore, cImageVersion,
               cSha, cResult, cCode, cLastReply, cText, cSeconds };

struct TLineCase {
  const char* Name;
  std::function<void(TRecord&)> Change;
  std::vector<std::pair<TColumn, QString>> Expected;  // the fields that differ from Sample()'s
};

const TLineCase kLineCases[] = {
    {"as it comes", [](TRecord&) {}, {}},
    {"a zone west of UTC",
     [](TRecord& r) { r.Finished = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), QTimeZone(-(5 * 3600 + 30 * 60))); },
     {{cTime, "2026-01-02T03:04:05.006-05:30"}}},
    {"UTC has an offset as well",
     [](TRecord& r) { r.Finished = QDateTime(QDate(2026, 7, 1), QTime(0, 0), QTimeZone::utc()); },
     {{cTime, "2026-07-01T00:00:00.000+00:00"}}},
    {"a comma", [](TRecord& r) { r.ResultText = QStringLiteral("Ошибка 7, повторите"); },
     {{cText, "\"Ошибка 7, повторите\""}}},
    {"quotes are doubled", [](TRecord& r) { r.FirmwareBefore = QStringLiteral("VLQN \"beta\""); },
     {{cFirmwareBefore, "\"VLQN \"\"beta\"\"\""}}},
    {"a line feed", [](TRecord& r) { r.FirmwareBefore = QStringLiteral("2.2\nbeta"); },
     {{cFirmwareBefore, "\"2.2\nbeta\""}}},
    {"a carriage return", [](TRecord& r) { r.ResultText = QStringLiteral("a\rb"); },
     {{cText, "\"a\rb\""}}},
    {"a formula a device sent",
     [](TRecord& r) { r.FirmwareBefore = QStringLiteral("=HYPERLINK(\"http://x\",\"y\")"); },
     {{cFirmwareBefore, "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""}}},
    {"a version a spreadsheet would take for a negative number",
     [](TRecord& r) { r.FirmwareBefore = QStringLiteral("-2.1"); }, {{cFirmwareBefore, "'-2.1"}}},
    {"plus first", [](TRecord& r) { r.Station = QStringLiteral("+7"); }, {{cStation, "'+7"}}},
    {"at first", [](TRecord& r) { r.Operator = QStringLiteral("@SUM(A1)"); }, {{cOperator, "'@SUM(A1)"}}},
    {"every text field is guarded",
     [](TRecord& r) {
       r.Adapter = r.ImageVersion = r.ImageSha256 = r.Result = QStringLiteral("=1");
       r.ResultText = QStringLiteral("-1");
     },
     {{cAdapter, "'=1"}, {cImageVersion, "'=1"}, {cSha, "'=1"}, {cResult, "'=1"}, {cText, "'-1"}}},
    {"only the first character counts", [](TRecord& r) { r.FirmwareBefore = QStringLiteral("a=b-c"); },
     {{cFirmwareBefore, "a=b-c"}}},
    {"empty texts", [](TRecord& r) { r.Station.clear(); r.Operator.clear(); },
     {{cStation, ""}, {cOperator, ""}}},
    {"a device that was not written",
     [](TRecord& r) {
       r.Result = QStringLiteral("current");
       r.ResultCode.reset();
       r.LastReply.reset();
     },
     {{cResult, "current"}, {cCode, ""}, {cLastReply, ""}}},
    {"negative numbers stay numbers",
     [](TRecord& r) {
       r.Serial = -7;
       r.ResultCode = -3;
     },
     {{cSerial, "-7"}, {cCode, "-3"}}},
    {"the largest reply code", [](TRecord& r) { r.LastReply = 0xFFFFFFFFu; }, {{cLastReply, "4294967295"}}},
    {"seconds to the millisecond", [](TRecord& r) { r.Seconds = 12.3456; }, {{cSeconds, "12.346"}}},
    {"no seconds", [](TRecord& r) { r.Seconds = 0; }, {{cSeconds, "0.000"}}},
};

void PrintTo(const TLineCase& lineCase, std::ostream* out) { *out << lineCase.Name; }

class ReportLine : public ::testing::TestWithParam<TLineCase> {};

TEST_P(ReportLine, Fields) {
  TRecord record = Sample();
  GetParam().Change(record);
  QStringList fields = SampleFields();
  for (const auto& [column, text] : GetParam().Expected) fields[column] = text;
  EXPECT_EQ(TStationReport::Line(record), fields.join(u','));
}

INSTANTIATE_TEST_SUITE_P(StationReport, ReportLine, ::testing::ValuesIn(kLineCases),
                         [](const ::testing::TestParamInfo<TLineCase>& param) {
                           std::string name = param.param.Name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(StationReport, HeaderNamesEveryFieldOfALine) {
  EXPECT_EQ(TStationReport::Header(),
            "time,station,operator,serial,adapter,firmware_before,image_version,image_sha256,result,"
            "result_code,last_reply,result_text,seconds");
  EXPECT_EQ(TStationReport::Header().count(u','), TStationReport::Line(Sample()).count(u','));
}

// The station's own clock, with the offset that makes it one instant.
TEST(StationReport, ALocalTimeIsWrittenWithItsOffset) {
  TRecord record = Sample();
  record.Finished = QDateTime::currentDateTime();
  const QString time = TStationReport::Line(record).section(u',', 0, 0);
  const QDateTime read = QDateTime::fromString(time, Qt::ISODateWithMs);
  ASSERT_TRUE(read.isValid()) << time.toStdString();
  EXPECT_EQ(read.toMSecsSinceEpoch(), record.Finished.toMSecsSinceEpoch()) << time.toStdString();
  EXPECT_EQ(read.offsetFromUtc(), record.Finished.offsetFromUtc()) << time.toStdString();
  EXPECT_EQ(read.time().hour(), record.Finished.time().hour()) << time.toStdString();
}

class ReportFile : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
  QByteArray Contents() const {
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void Write(const QByteArray& bytes) const {
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }
  static QByteArray HeaderLine() { return TStationReport::Header().toUtf8() + "\r\n"; }
  static QByteArray SampleLine() { return TStationReport::Line(Sample()).toUtf8() + "\r\n"; }

  QTemporaryDir Dir;
  QString Path = Dir.filePath(QStringLiteral("report.csv"));
};

// A file with no lines yet: the mark, the header and the record, each line with CRLF; no
// lock file is left beside it.
TEST_F(ReportFile, ANewFileStartsWithTheMarkAndTheHeader) {
  for (const auto& [name, before] : {std::pair{"missing", std::optional<QByteArray>()},
                                     std::pair{"empty", std::optional<QByteArray>(QByteArray())},
                                     std::pair{"only the mark", std::optional<QByteArray>(kBom)}}) {
    SCOPED_TRACE(name);
    QFile::remove(Path);
    if (before) Write(*before);
    TStationReport report(Path);
    QString error;
    ASSERT_EQ(report.Open(error), TOpenResult::Ready) << error.toStdString();
    EXPECT_EQ(Contents(), kBom + HeaderLine());
    ASSERT_TRUE(report.Append(Sample(), error)) << error.toStdString();
    EXPECT_EQ(Contents(), kBom + HeaderLine() + SampleLine());
    EXPECT_FALSE(QFileInfo::exists(Path + QStringLiteral(".lock")));
  }
}

// Lines already there under this header, whoever wrote them: a second open adds no
// second header, whether the file has the mark or not, and whether it was saved with
// LF alone.
TEST_F(ReportFile, AFileWithThisHeaderIsAppendedTo) {
  const QByteArray lfOnly = TStationReport::Header().toUtf8() + "\n" + TStationReport::Line(Sample()).toUtf8() + "\n";
  for (const auto& [name, before] : {std::pair{"with the mark", kBom + HeaderLine() + SampleLine()},
                                     std::pair{"without the mark", HeaderLine() + SampleLine()},
                                     std::pair{"just the header", kBom + HeaderLine()},
                                     std::pair{"LF line ends", lfOnly}}) {
    SCOPED_TRACE(name);
    Write(before);
    TStationReport report(Path);
    QString error;
    ASSERT_EQ(report.Open(error), TOpenResult::Ready) << error.toStdString();
    EXPECT_EQ(Contents(), before);
    ASSERT_TRUE(report.Append(Sample(), error)) << error.toStdString();
    EXPECT_EQ(Contents(), before + SampleLine());
  }
}

// Columns never mix: a file under another header is refused whole and not touched.
TEST_F(ReportFile, AFileWithAnotherHeaderIsRefusedAndLeftAsItIs) {
  const QByteArray line = TStationReport::Line(Sample()).toUtf8();
  for (const auto& [name, before] :
       {std::pair<const char*, QByteArray>{"the earlier eight columns",
                                           "time,serial,adapter,firmware_before,image_version,result_code,"
                                           "result_text,seconds\n2026-01-01T00:00:00,5,qn,a,b,0,ok,1.0\n"},
        {"a column more", kBom + TStationReport::Header().toUtf8() + ",extra\r\n"},
        {"a column less", TStationReport::Header().toUtf8().chopped(8) + "\r\n" + line + "\r\n"},
        {"no header, records only", line + "\r\n"},
        {"the header cut short, no line end", TStationReport::Header().toUtf8().left(20)},
        {"another program's file", QByteArray("Name;Wert\r\nx;1\r\n")}}) {
    SCOPED_TRACE(name);
    Write(before);
    TStationReport report(Path);
    QString error;
    EXPECT_EQ(report.Open(error), TOpenResult::HeaderMismatch);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Contents(), before);
  }
}

TEST_F(ReportFile, APathThatTakesNoFileIsUnwritable) {
  ASSERT_TRUE(QDir().mkpath(Path));
  for (const QString& path : {Path, Dir.filePath(QStringLiteral("no/such/folder/report.csv"))}) {
    SCOPED_TRACE(path.toStdString());
    TStationReport report(path, std::chrono::milliseconds(0));
    QString error;
    EXPECT_EQ(report.Open(error), TOpenResult::Unwritable);
    EXPECT_FALSE(error.isEmpty());
  }
}

// Stations started together on one new file: every one of them finds it ready, and the
// header is in it once. Rounds of fresh files, since one round seldom meets the moment
// between the look at the file and the write of its header.
TEST(StationReport, StationsOpeningOneNewFileTogetherWriteOneHeader) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  constexpr int kRounds = 40;
  constexpr int kStations = 4;
  for (int round = 0; round < kRounds; ++round) {
    const QString path = dir.filePath(QStringLiteral("shared%1.csv").arg(round));
    std::latch start(kStations);
    std::atomic<int> ready{0};
    std::vector<std::thread> stations;
    for (int i = 0; i < kStations; ++i)
      stations.emplace_back([&] {
        TStationReport report(path);
        QString error;
        start.arrive_and_wait();
        if (report.Open(error) == TOpenResult::Ready) ++ready;
      });
    for (std::thread& station : stations) station.join();
    EXPECT_EQ(ready, kStations) << "round " << round;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_EQ(file.readAll(), kBom + TStationReport::Header().toUtf8() + "\r\n") << "round " << round;
  }
}

#ifndef _WIN32
// Two stations appending to one file: every line lands whole, none over another. (Under
// Wine two handles' appends to one file are not atomic, as they are on Windows itself:
// a line went missing there now and then, so the test runs where the system keeps it.)
TEST(StationReport, AppendsFromTwoWritersAllLand) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("shared.csv"));
  constexpr int kLines = 300;
  std::vector<std::thread> writers;
  std::atomic<int> failed{0};
  for (int writer = 0; writer < 2; ++writer)
    writers.emplace_back([&, writer] {
      TStationReport report(path);
      for (int i = 0; i < kLines; ++i) {
        TRecord record = Sample();
        record.Serial = writer * 100000 + i;
        QString error;
        if (!report.Append(record, error)) ++failed;
      }
    });
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failed, 0);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  EXPECT_EQ(lines.size(), 2 * kLines + 1);  // the last one empty
  const qsizetype commas = TStationReport::Header().count(u',');
  for (const QByteArray& line : lines) {
    if (!line.isEmpty()) {
      EXPECT_EQ(line.count(','), commas) << line.constData();
      EXPECT_TRUE(line.endsWith('\r')) << line.constData();
    }
  }
}
#endif

}  // namespace
