// The station command line's run against the simulated bus of this process: what it
// prints as JSON lines and the exit code it ends with.
#include "cli/station.h"

#include "cli/interrupt.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdio>
#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif
#include <atomic>
#include <functional>
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
  EXPECT_TRUE(lines[0].contains(TStationReport::Header()));
  EXPECT_EQ(lines.filter(",200,ftdi,VLQN-2.3,VLQN-2.3b,").filter(",Обновление прошивки завершено успешно,").size(), 1)
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
  EXPECT_TRUE(logged.contains(",250,ftdi,VLQN-2.3,VLQN-2.3b,")) << logged.constData();
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

TEST_F(Station, ImageThatDoesNotLoadOrReportThatTakesNoLineEndBeforeAnyDevice) {
  Bus.Add(Device("d", saFtdi, "600"));
  QFile damaged(Dir.filePath("damaged.eraw"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("not a container at all");
  damaged.close();
  TStationOptions badImage = WriteOptions();
  badImage.Image = damaged.fileName().toStdString();
  EXPECT_EQ(RunToEnd(badImage), TStation::exImageNotLoaded);
  ASSERT_EQ(Events("error").size(), 1u);
  EXPECT_EQ(Events("error").at(0).value("code").toString(), "image_not_loaded");

  TStationOptions badReport = WriteOptions();
  badReport.Report = Dir.filePath("no/such/dir/report.csv").toStdString();
  EXPECT_EQ(RunToEnd(badReport), TStation::exReportUnwritable);
  ASSERT_EQ(Events("error").size(), 2u);
  EXPECT_EQ(Events("error").at(1).value("code").toString(), "report_unwritable");

  TStationOptions otherImage = WriteOptions();
  otherImage.ImageSha256 = std::string(64, 'a');
  EXPECT_EQ(RunToEnd(otherImage), TStation::exUsage);
  ASSERT_EQ(Events("error").size(), 3u);
  EXPECT_EQ(Events("error").at(2).value("code").toString(), "image_hash_mismatch");
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

// Each cause of a run's end has its own exit code; when several come together, the one a
// line's script must act on first decides it, and the summary lists them all. The ways a
// run is asked to end: Ctrl+C's request, a closed terminal (SIGHUP, through the program's
// own handler) and an output nobody reads any more.
TEST_F(Station, ExitCodesByCauseAndTheirOrder) {
  enum TEnd { kToTheEnd, kInterrupt, kHangUp, kClosedOutput };
  struct TCase {
    const char* name;
    std::vector<TSimDeviceConfig> devices;
    std::function<void(TStationOptions&)> options;
    TEnd end;
    bool reportLost;
    int exit;
    QStringList causes;
  };
  const auto locked = [](TSimDeviceConfig config) {
    config.Locked = true;
    return config;
  };
  const auto slow = [](TSimDeviceConfig config) {
    config.WriteMsPerPart = 20;
    return config;
  };
  const auto refused = [](TSimDeviceConfig config) {
    config.RefuseOpen = true;
    return config;
  };
  const auto count = [](int n, int timeout) {
    return [n, timeout](TStationOptions& options) {
      options.Count = n;
      options.TimeoutSeconds = timeout;
    };
  };
  const auto none = [](TStationOptions&) {};
  const std::vector<TCase> cases = {
      {"all written", {Device("a", saFtdi, "801")}, none, kToTheEnd, false, 0, {}},
      {"a write failed", {locked(Device("a", saFtdi, "802"))}, none, kToTheEnd, false, 1, {"write_failed"}},
      {"too few devices", {Device("a", saFtdi, "803")}, count(2, 4), kToTheEnd, false, 5, {"timeout"}},
      {"a failure outranks the time-out", {locked(Device("a", saFtdi, "804"))}, count(2, 4), kToTheEnd,
       false, 1, {"write_failed", "timeout"}},
      {"a lost record outranks a failure",
       {locked(Device("a", saFtdi, "805")), Device("b", saFtdi, "806")}, none, kToTheEnd, true, 7,
       {"report_lost", "write_failed"}},
      {"the failure limit",
       {locked(Device("a", saFtdi, "807")), locked(Device("b", saFtdi, "808"))},
       [](TStationOptions& options) { options.MaxFailures = 1; }, kToTheEnd, false, 11,
       {"max_failures", "write_failed"}},
      {"a listing whose scan failed", {refused(Device("a", saFtdi, "809"))},
       [](TStationOptions& options) { options.Command = TStationCommand::List; }, kToTheEnd, false, 10,
       {"scan_failed"}},
      {"interrupted", {slow(Device("a", saFtdi, "810"))}, none, kInterrupt, false, 130, {"interrupted"}},
      {"a failure outranks the interrupt", {locked(Device("a", saFtdi, "811")), slow(Device("b", saFtdi, "812"))},
       none, kInterrupt, false, 1, {"write_failed", "interrupted"}},
#ifndef _WIN32
      {"a closed terminal", {slow(Device("a", saFtdi, "813"))}, none, kHangUp, false, 130, {"interrupted"}},
      {"a lost record outranks a closed terminal",
       {Device("a", saFtdi, "814"), slow(Device("b", saFtdi, "815"))}, none, kHangUp, true, 7,
       {"report_lost", "interrupted"}},
      {"an output nobody reads", {slow(Device("a", saFtdi, "816"))}, none, kClosedOutput, false, 130, {}},
#endif
  };
#ifndef _WIN32
  signal(SIGPIPE, SIG_IGN);  // as the program has it
#endif
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bus.Clear();
    for (const TSimDeviceConfig& device : c.devices) Bus.Add(device);
    std::fclose(Stream);
    Stream = std::tmpfile();
    int reader = -1;
#ifndef _WIN32
    if (c.end == kClosedOutput) {
      int ends[2];
      ASSERT_EQ(pipe(ends), 0);
      std::fclose(Stream);
      Stream = fdopen(ends[1], "w");
      reader = ends[0];
    }
#endif
    Exit = -1;
    TStationOptions options = WriteOptions();
    c.options(options);
    const QString report = Dir.filePath(QStringLiteral("report-%1.csv").arg(c.exit));
    options.Report = options.Command == TStationCommand::List ? std::string() : report.toStdString();
    Start(options);
    ASSERT_TRUE(Prepared);
#ifndef _WIN32
    if (c.end == kHangUp) InstallInterruptHandler(*Run, [this] { Run->Interrupt(); });
    if (c.end == kClosedOutput)
      Output->OnBroken([this] {
        QMetaObject::invokeMethod(Run.get(), [this] { Run->Interrupt(); }, Qt::QueuedConnection);
      });
#endif
    if (c.reportLost) {
      // The file took its header; by the time a write ends it takes nothing.
      ASSERT_TRUE(QFile::remove(report));
      ASSERT_TRUE(QDir().mkpath(report));
    }
    if (c.end != kToTheEnd) {
      // The slow device, listed last, is being written; every other one has ended.
      const std::string& slowOne = c.devices.back().Name;
      ASSERT_TRUE(WaitUntil([&] { return Bus.FramesReceived(slowOne, frame::cmdWriteV2) >= 2; }, 60000));
      ASSERT_TRUE(WaitUntil([&] {
        std::uint32_t closed = 0;
        for (const TSimDeviceConfig& device : c.devices)
          closed += Bus.FramesReceived(device.Name, frame::cmdCloseSuccess) +
                    Bus.FramesReceived(device.Name, frame::cmdCloseFailure);
        return closed + 1 >= c.devices.size();
      }, 60000));
    }
    if (c.end == kInterrupt) Run->Interrupt();
#ifndef _WIN32
    if (c.end == kHangUp) raise(SIGHUP);
    if (c.end == kClosedOutput) close(reader);  // the next progress line fails
#endif
    ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 60000));
    EXPECT_EQ(Exit, c.exit);
    if (c.end != kToTheEnd) {
      EXPECT_EQ(Bus.FramesReceived(c.devices.back().Name, frame::cmdCloseFailure), 1u)
          << "the device cut short gets the closing frame of a failed run";
    }
    if (c.end == kClosedOutput) {
      Run.reset();
      continue;  // nothing printed can be read back
    }
    (void)reader;
    const auto summary = Events("summary");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0].value("exit").toInt(), c.exit);
    QStringList causes;
    for (const QJsonValue& cause : summary[0].value("causes").toArray()) causes << cause.toString();
    EXPECT_EQ(causes, c.causes);
    Run.reset();
    if (c.reportLost) QDir(report).removeRecursively();
  }
}

// The deadline, the failure limit and what was written before decide what starts: nothing
// after the time-out or the limit, a device written well once is said and left alone, and
// --skip-current leaves a device that runs the image's version.
TEST_F(Station, WhatTheRunNoLongerWrites) {
  // Plugs and unplugs reach the run through the bus file, as they do in the program.
  const QString busFile = Dir.filePath("bus.txt");
  Bus.AttachFile(busFile.toStdString());
  qputenv("VL_SIM_BUS", busFile.toLocal8Bit());
  TSimDeviceConfig current = Device("c", saQn, "821");
  current.FirmwareVersion = "VLQN-2.3b";  // the built-in image's version
  Bus.Add(Device("a", saFtdi, "820"));
  Bus.Add(current);
  TStationOptions options = WriteOptions();
  options.Command = TStationCommand::Watch;
  options.SkipCurrent = true;
  options.Report = Dir.filePath("skip.csv").toStdString();
  Start(options);
  qunsetenv("VL_SIM_BUS");
  ASSERT_TRUE(Prepared);
  ASSERT_TRUE(WaitUntil([&] { return Events("result").size() == 2; }, 60000)) << Printed().toStdString();
  // Plugged in again: the run has written it already.
  Bus.Unplug("a");
  ASSERT_TRUE(WaitUntil([&] { return !Events("gone").empty(); }, 60000));
  Bus.Plug("a");
  ASSERT_TRUE(WaitUntil([&] { return !Events("skipped").empty(); }, 60000)) << Printed().toStdString();
  Run->Interrupt();
  ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 60000));
  EXPECT_EQ(Events("skipped").at(0).value("serial").toInt(), 820);
  EXPECT_EQ(Events("started").size(), 1u);
  EXPECT_EQ(Bus.FramesReceived("c", frame::cmdEraseV2), 0u);
  std::map<int, QString> results;
  for (const QJsonObject& result : Events("result")) results[result.value("serial").toInt()] = result.value("result").toString();
  EXPECT_EQ(results, (std::map<int, QString>{{820, "written"}, {821, "current"}}));
  const QJsonObject currentResult = Events("result").at(0).value("serial").toInt() == 821 ? Events("result").at(0) : Events("result").at(1);
  EXPECT_TRUE(currentResult.value("code").isNull());
  Run.reset();
  QFile report(Dir.filePath("skip.csv"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly));
  EXPECT_TRUE(report.readAll().contains(",current,")) << "the report has the device left alone";
}

// A time-out ends the waiting: a device that shows up after it is not written.
TEST_F(Station, NoWriteStartsAfterTheDeadline) {
  TSimDeviceConfig first = Device("a", saFtdi, "830");
  first.WriteMsPerPart = 30;  // still being written when the time is up
  Bus.Add(first);
  TStationOptions options = WriteOptions(2);
  options.TimeoutSeconds = 3;
  Start(options);
  ASSERT_TRUE(Prepared);
  ASSERT_TRUE(WaitUntil([&] { return !Events("started").empty(); }, 60000));
  WaitUntil([] { return false; }, 3500);  // the deadline passes while the first device is written
  ASSERT_TRUE(Events("result").empty()) << "the first write must still run";
  Bus.Add(Device("b", saFtdi, "831"));
  ASSERT_TRUE(WaitUntil([&] { return Exit >= 0; }, 60000)) << Printed().toStdString();
  EXPECT_EQ(Exit, TStation::exTimeout);
  EXPECT_EQ(Events("started").size(), 1u);
  EXPECT_EQ(Bus.FramesReceived("b", frame::cmdEraseV2), 0u);
}
