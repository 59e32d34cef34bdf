// The station command line's run against the simulated bus of this process: what it
// prints as JSON lines and the exit code it ends with.
#include "cli/station.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdio>
#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif
#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "app/qtprint.h"
#include "link/driverlibs.h"
#include "protocol/frame.h"
#include "support/simdevices.h"
#include "support/waituntil.h"

namespace {

struct Station : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    qputenv("XDG_DATA_HOME", Dir.filePath("userdata").toLocal8Bit());
    ASSERT_NE(LoadFtdiDriver(), nullptr);
    ASSERT_NE(LoadQnDriver(), nullptr);
    Bus.AttachFile("");
    Bus.Clear();
    Stream = std::tmpfile();
    ASSERT_NE(Stream, nullptr);
  }
  void TearDown() override {
    Run.reset();
    Bus.Clear();
    if (Stream) std::fclose(Stream);
  }

  // A device the built-in image fits (its boot loader is below 1.04).
  static TSimDeviceConfig Device(const std::string& name, TSimAdapter adapter, const std::string& serial) {
    TSimDeviceConfig config = FastSimDevice(name, adapter, serial);
    config.LoaderVersion = "VLQN-1.3";
    return config;
  }

  // Starts a run of the options as the program would and returns once it has ended.
  int RunToEnd(const TStationOptions& options) {
    Start(options);
    if (!Prepared) return Run->ExitCode();
    EXPECT_TRUE(WaitUntil([&] { return Exit >= 0; }, 600000)) << Printed().toStdString();
    return Exit;
  }
  void Start(const TStationOptions& options) {
    Output = std::make_unique<TStationOutput>(true, Stream);
    Run = std::make_unique<TStation>(options, *Output, Dir.path() + u'/');
    QObject::connect(Run.get(), &TStation::Finished, [this](int code) { Exit = code; });
    Prepared = Run->Prepare();
    if (Prepared) Run->Start();
  }

  QString Printed() {
    std::fflush(Stream);
    std::rewind(Stream);
    QByteArray bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, Stream)) > 0;) bytes.append(buffer, static_cast<qsizetype>(n));
    std::fseek(Stream, 0, SEEK_END);
    return QString::fromUtf8(bytes);
  }
  // The printed events of one kind, each line a JSON object.
  std::vector<QJsonObject> Events(const QString& kind) {
    std::vector<QJsonObject> events;
    for (const QString& line : Printed().split(u'\n', Qt::SkipEmptyParts)) {
      const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
      EXPECT_TRUE(document.isObject()) << line.toStdString();
      if (document.object().value("event").toString() == kind) events.push_back(document.object());
    }
    return events;
  }
  std::map<int, int> ResultCodes() {
    std::map<int, int> codes;
    for (const QJsonObject& result : Events("result")) codes[result.value("serial").toInt()] = result.value("code").toInt();
    return codes;
  }

  TSimBus& Bus = TSimBus::Instance();
  QTemporaryDir Dir;
  std::FILE* Stream = nullptr;
  std::unique_ptr<TStationOutput> Output;
  std::unique_ptr<TStation> Run;
  bool Prepared = false;
  int Exit = -1;
};

TStationOptions WriteOptions(int count = 0) {
  TStationOptions options;
  options.Command = TStationCommand::Write;
  options.Json = true;
  options.Count = count;
  // A ceiling only: a write run ends once its devices are written. Eight QN identity
  // queries in a row (3 x 500 ms each) come before the last write starts, and a loaded
  // machine takes longer still.
  options.TimeoutSeconds = 300;
  return options;
}

}  // namespace

TEST_F(Station, SixteenDevicesWithMixedFaultsGiveTheirOwnResultsAndExitCode1) {
  std::map<int, int> expected;
  for (int i = 0; i < 16; ++i) {
    TSimDeviceConfig config = Device("d" + std::to_string(i), i % 2 ? saQn : saFtdi, std::to_string(100 + i));
    // Faults of the write only: a device that fails its identity query fails the scan.
    switch (i % 4) {
      case 1:
        config.Locked = true;
        expected[100 + i] = wrEraseFailed;  // the first erase is refused: the device's 138
        break;
      case 2:
        config.ProtectedSectors = {10};
        expected[100 + i] = wrSectorProtected;
        break;
      case 3:
        config.LoaderVersion = "VLQN-1.4";
        expected[100 + i] = wrIncompatible;
        break;
      default:
        expected[100 + i] = wrSuccess;
        break;
    }
    Bus.Add(config);
  }
  EXPECT_EQ(RunToEnd(WriteOptions()), TStation::exWriteFailed);
  const auto codes = ResultCodes();
  ASSERT_EQ(codes.size(), 16u) << Printed().toStdString();
  for (const auto& [serial, code] : expected) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(codes.at(serial), code);
  }
  for (const QJsonObject& result : Events("result")) {
    const int serial = result.value("serial").toInt();
    const QString text = result.value("text").toString();
    const bool locked = (serial - 100) % 4 == 1;
    // A station's script tells a locked device from a broken one by the last reply.
    if (locked) {
      EXPECT_EQ(result.value("last_reply").toInt(), 138) << serial;
    }
    if (locked) {
      EXPECT_EQ(text, "Прибор заблокирован");
    } else if (expected[serial] == wrSuccess) {
      EXPECT_EQ(text, "Обновление прошивки завершено успешно");
    } else if (expected[serial] == wrIncompatible) {
      EXPECT_EQ(text, "Прошивка и прибор не совместимы");
    } else {
      EXPECT_EQ(text, QStringLiteral("Ошибка %1 при обновлении прошивки").arg(expected[serial]));
    }
  }
  const auto summary = Events("summary");
  ASSERT_EQ(summary.size(), 1u);
  EXPECT_EQ(summary[0].value("written").toInt(), 4);
  EXPECT_EQ(summary[0].value("failed").toInt(), 12);
}

TEST_F(Station, AllGoodGivesExitCode0AndAReportLinePerWrite) {
  for (int i = 0; i < 3; ++i) Bus.Add(Device("d" + std::to_string(i), saFtdi, std::to_string(200 + i)));
  TStationOptions options = WriteOptions();
  options.Report = Dir.filePath("report.csv").toStdString();
  EXPECT_EQ(RunToEnd(options), TStation::exWritten) << Printed().toStdString();
  EXPECT_EQ(ResultCodes(), (std::map<int, int>{{200, 0}, {201, 0}, {202, 0}}));
  for (const char* name : {"d0", "d1", "d2"}) EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseSuccess), 1u) << name;
  QFile report(Dir.filePath("report.csv"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(report.readAll()).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines[0].startsWith("time,serial,"));
  EXPECT_EQ(lines.filter(",200,ftdi,VLQN-2.3,VLQN-2.3b,0,Обновление прошивки завершено успешно,").size(), 1)
      << lines.join('\n').toStdString();
}

TEST_F(Station, ARecordTheReportDoesNotTakeIsSaidAndFailsTheRun) {
  Bus.Add(Device("d", saFtdi, "250"));
  TStationOptions options = WriteOptions();
  const QString path = Dir.filePath("report.csv");
  options.Report = path.toStdString();
  Output = std::make_unique<TStationOutput>(true, Stream);
  Run = std::make_unique<TStation>(options, *Output, Dir.path() + u'/');
  QObject::connect(Run.get(), &TStation::Finished, [this](int code) { Exit = code; });
  ASSERT_TRUE(Run->Prepare());
  // The file took its header; by the time the write ends it takes nothing.
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QDir().mkpath(path));
  Run->Start();
  ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 600000)) << Printed().toStdString();
  EXPECT_EQ(Exit, TStation::exReportLost);
  EXPECT_EQ(ResultCodes(), (std::map<int, int>{{250, 0}}));
  const auto errors = Events("error");
  ASSERT_EQ(errors.size(), 1u) << Printed().toStdString();
  EXPECT_EQ(errors[0].value("serial").toInt(), 250);
  EXPECT_EQ(errors[0].value("file").toString(), path);
  EXPECT_EQ(Events("summary").at(0).value("exit").toInt(), TStation::exReportLost);
  // The daily log keeps the record whole (in the log's own code page: its Latin part
  // is compared).
  Run.reset();
  const QDir logDir(Dir.filePath("Logs"));
  const QStringList logs = logDir.entryList({QStringLiteral("*.log")}, QDir::Files);
  ASSERT_EQ(logs.size(), 1) << logDir.path().toStdString();
  QFile log(logDir.filePath(logs.first()));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QByteArray logged = log.readAll();
  EXPECT_TRUE(logged.contains(",250,ftdi,VLQN-2.3,VLQN-2.3b,0,")) << logged.constData();
}

TEST_F(Station, InterruptMidWriteStopsEveryWriteWithFrame12AndExitCode130) {
  for (int i = 0; i < 4; ++i) {
    TSimDeviceConfig config = Device("s" + std::to_string(i), i % 2 ? saQn : saFtdi, std::to_string(300 + i));
    config.WriteMsPerPart = 20;
    Bus.Add(config);
  }
  Start(WriteOptions());
  ASSERT_TRUE(Prepared);
  ASSERT_TRUE(WaitUntil([&] {
    for (const char* name : {"s0", "s1", "s2", "s3"})
      if (Bus.FramesReceived(name, frame::cmdWriteV2) < 2) return false;
    return true;
  }, 60000));
  Run->Interrupt();
  ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 60000));
  EXPECT_EQ(Exit, TStation::exInterrupted);
  EXPECT_EQ(ResultCodes(), (std::map<int, int>{{300, 10}, {301, 10}, {302, 10}, {303, 10}}));
  for (const char* name : {"s0", "s1", "s2", "s3"}) {
    EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseFailure), 1u) << name;
    EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseSuccess), 0u) << name;
  }
  EXPECT_EQ(Events("summary").at(0).value("interrupted").toInt(), 4);
}

#ifndef _WIN32
// A reader that goes away (`vlfwflash … | head -1`): the next line fails, and the run ends
// as if interrupted, every device cut short with its closing frame, the report complete.
TEST_F(Station, AnOutputNobodyReadsEndsTheRunAsAnInterrupt) {
  for (int i = 0; i < 2; ++i) {
    TSimDeviceConfig config = Device("p" + std::to_string(i), saFtdi, std::to_string(350 + i));
    config.WriteMsPerPart = 20;
    Bus.Add(config);
  }
  signal(SIGPIPE, SIG_IGN);  // as the program has it
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* pipeOut = fdopen(ends[1], "w");
  ASSERT_NE(pipeOut, nullptr);
  TStationOptions options = WriteOptions();
  options.Report = Dir.filePath("report.csv").toStdString();
  Output = std::make_unique<TStationOutput>(true, pipeOut);
  Run = std::make_unique<TStation>(options, *Output, Dir.path() + u'/');
  QObject::connect(Run.get(), &TStation::Finished, [this](int code) { Exit = code; });
  int broken = 0;
  Output->OnBroken([&] {
    ++broken;
    QMetaObject::invokeMethod(Run.get(), [this] { Run->Interrupt(); }, Qt::QueuedConnection);
  });
  ASSERT_TRUE(Run->Prepare());
  Run->Start();
  ASSERT_TRUE(WaitUntil([&] {
    return Bus.FramesReceived("p0", frame::cmdWriteV2) >= 2 && Bus.FramesReceived("p1", frame::cmdWriteV2) >= 2;
  }, 60000));
  close(ends[0]);  // the reader is gone; the next progress line fails
  ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 60000));
  EXPECT_EQ(Exit, TStation::exInterrupted);
  EXPECT_EQ(broken, 1);
  for (const char* name : {"p0", "p1"}) {
    EXPECT_EQ(Bus.FramesReceived(name, frame::cmdCloseFailure), 1u) << name;
  }
  QFile report(Dir.filePath("report.csv"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly));
  EXPECT_EQ(report.readAll().count('\n'), 3);  // the header and both writes
  Run.reset();
  std::fclose(pipeOut);
}
#endif

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
        QString error;
        if (!report.Append({QDateTime::currentDateTime(), writer * 100000 + i, QStringLiteral("qn"),
                            QStringLiteral("before"), QStringLiteral("image"), 0,
                            QStringLiteral("text"), 1.0},
                           error))
          ++failed;
      }
    });
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failed, 0);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  EXPECT_EQ(lines.size(), 2 * kLines + 1);  // the last one empty
  for (const QByteArray& line : lines) {
    if (!line.isEmpty()) {
      EXPECT_EQ(line.count(','), 7) << line.constData();
    }
  }
}
#endif

TEST_F(Station, WaitingForMoreDevicesThanComeEndsWithCode5) {
  Bus.Add(Device("one", saQn, "400"));
  TStationOptions options = WriteOptions(2);
  // Long enough for the one device's identity (1.5 s) and its write on a loaded machine.
  options.TimeoutSeconds = 20;
  EXPECT_EQ(RunToEnd(options), TStation::exTimeout);
  EXPECT_EQ(ResultCodes(), (std::map<int, int>{{400, 0}}));
}

TEST_F(Station, NamedDevicesOnlyAreWritten) {
  for (int i = 0; i < 3; ++i) Bus.Add(Device("d" + std::to_string(i), saQn, std::to_string(500 + i)));
  TStationOptions options = WriteOptions();
  options.Serials = {501};
  options.Count = 1;
  EXPECT_EQ(RunToEnd(options), TStation::exWritten);
  EXPECT_EQ(ResultCodes(), (std::map<int, int>{{501, 0}}));
  EXPECT_EQ(Bus.FramesReceived("d0", frame::cmdEraseV2), 0u);
}

TEST_F(Station, ImageThatDoesNotLoadOrReportThatTakesNoLineEndWithCode2BeforeAnyDevice) {
  Bus.Add(Device("d", saFtdi, "600"));
  QFile damaged(Dir.filePath("damaged.eraw"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("not a container at all");
  damaged.close();
  TStationOptions badImage = WriteOptions();
  badImage.Image = damaged.fileName().toStdString();
  EXPECT_EQ(RunToEnd(badImage), TStation::exUsage);

  TStationOptions badReport = WriteOptions();
  badReport.Report = Dir.filePath("no/such/dir/report.csv").toStdString();
  EXPECT_EQ(RunToEnd(badReport), TStation::exUsage);
  EXPECT_EQ(Events("error").size(), 1u);
  EXPECT_EQ(Bus.FramesReceived("d", frame::cmdEraseV2), 0u);
}

TEST_F(Station, ListPrintsEveryDeviceWithItsIdentity) {
  Bus.Add(Device("f", saFtdi, "700"));
  TSimDeviceConfig app = Device("q", saQn, "701");
  app.BootMode = false;
  Bus.Add(app);
  TStationOptions options;
  options.Json = true;
  EXPECT_EQ(RunToEnd(options), TStation::exWritten);
  const auto listed = Events("listed");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].value("serial").toInt(), 700);
  EXPECT_EQ(listed[0].value("adapter").toString(), "ftdi");
  EXPECT_EQ(listed[0].value("mode").toString(), "boot");
  EXPECT_EQ(listed[0].value("loader").toString(), "VLQN-1.3");
  EXPECT_EQ(listed[0].value("processor").toString(), "0x25013F37");
  EXPECT_EQ(listed[1].value("adapter").toString(), "qn");
  EXPECT_EQ(listed[1].value("mode").toString(), "application");
}
