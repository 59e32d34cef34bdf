// The real program in separate processes: the integrity seal and the single instance.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <vector>
#ifndef Q_OS_WIN
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "shell/integritycheck.h"
#include "shell/programversion.h"

namespace {

constexpr int kWaitMs = 120000;  // generous: sanitizer builds on a busy machine start slowly

class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    // A copy of its own: the program writes its settings beside itself.
    const QFileInfo built(QStringLiteral(VL_LOADER_PATH));
    Program = Dir.filePath(built.fileName());
    ASSERT_TRUE(QFile::copy(built.filePath(), Program));
    CopyRuntime(built.dir());
    ASSERT_TRUE(QDir().mkpath(Dir.filePath("tmp")));
    CopyDriver(QStringLiteral(VL_SIMBUS_PATH));
    CopyDriver(QStringLiteral(VL_FTDI_STANDIN));
    CopyDriver(QStringLiteral(VL_QN_STANDIN));
  }

  // What the program loads beside itself on Windows: the toolkit's and the compiler's
  // libraries and the toolkit's plugins (the driver libraries are copied on their own).
  void CopyRuntime(const QDir& built) {
#ifdef Q_OS_WIN
    const QStringList drivers = {QFileInfo(QStringLiteral(VL_SIMBUS_PATH)).fileName(),
                                 QFileInfo(QStringLiteral(VL_FTDI_STANDIN)).fileName(),
                                 QFileInfo(QStringLiteral(VL_QN_STANDIN)).fileName()};
    for (const QString& name : built.entryList({QStringLiteral("*.dll")}, QDir::Files))
      if (!drivers.contains(name)) {
        ASSERT_TRUE(QFile::copy(built.filePath(name), Dir.filePath(name)));
      }
    for (const QString& kind : {QStringLiteral("platforms"), QStringLiteral("styles")}) {
      ASSERT_TRUE(QDir(Dir.path()).mkpath(kind));
      const QDir plugins(built.filePath(kind));
      for (const QString& name : plugins.entryList({QStringLiteral("*.dll")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(plugins.filePath(name), Dir.filePath(kind + u'/' + name)));
    }
#else
    (void)built;
#endif
  }

  // The stand-in driver libraries go beside the program, as real ones are installed.
  void CopyDriver(const QString& path) {
    ASSERT_TRUE(QFile::copy(path, Dir.filePath(QFileInfo(path).fileName())));
  }
  void RemoveDriver(const QString& path) {
    ASSERT_TRUE(QFile::remove(Dir.filePath(QFileInfo(path).fileName())));
  }

  // Lock and socket live in the temp directory: one of its own keeps the test apart
  // from any other copy running on the machine.
  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TMPDIR", Dir.filePath("tmp"));
    env.insert("XDG_DATA_HOME", Dir.filePath("userdata"));
    env.insert("QT_LOGGING_RULES", "vl.*.info=true");
    // A Windows program without a console logs to the debugger unless told otherwise.
    env.insert("QT_FORCE_STDERR_LOGGING", "1");
    env.remove("VL_SIM_BUS");
    return env;
  }

  void Start(QProcess& process, const QStringList& arguments = {},
             const QProcessEnvironment& env = {}) {
    process.setProcessEnvironment(env.isEmpty() ? Environment() : env);
    process.start(Program, arguments);
    ASSERT_TRUE(process.waitForStarted(kWaitMs));
  }

  // Reads the process's error stream until `text` shows up or the process ends.
  static bool WaitForOutput(QProcess& process, QByteArray& seen, const QByteArray& text) {
    for (int i = 0; i < kWaitMs / 100; ++i) {
      seen += process.readAllStandardError();
      if (seen.contains(text)) return true;
      if (process.state() == QProcess::NotRunning) return false;
      process.waitForReadyRead(100);
    }
    return false;
  }

  QTemporaryDir Dir;
  QString Program;
};

void ChangeByte(const QString& path, qint64 offset) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.seek(offset));
  char byte = 0;
  ASSERT_TRUE(file.getChar(&byte));
  ASSERT_TRUE(file.seek(offset));
  ASSERT_TRUE(file.putChar(static_cast<char>(byte ^ 0x01)));
}

// A byte the loader never maps: the compiler's note in the file's .comment section, so
// the changed copy still starts and the refusal is the program's own.
qint64 HarmlessByte(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray content = file.readAll();
  for (const char* marker : {"GCC: (", "clang version"}) {
    const qint64 at = content.indexOf(marker);
    if (at >= 0) return at + 2;
  }
  return -1;
}

TEST_F(StartupTest, SealedProgramChecksOutIntact) {
  EXPECT_EQ(CheckExecutableSeal(Program), TIntegrity::Intact);
}

TEST_F(StartupTest, SecondCopyRestoresTheFirstAndEnds) {
  QProcessEnvironment firstEnv = Environment();
  firstEnv.insert("VL_START_MINIMIZED", "1");
  QProcess first;
  Start(first, {}, firstEnv);
  QByteArray firstOutput;
  ASSERT_TRUE(WaitForOutput(first, firstOutput, "running; minimised: true")) << firstOutput.constData();

  QProcess second;
  Start(second, {"externfirmware", "whatever"});
  ASSERT_TRUE(second.waitForFinished(kWaitMs));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  const QByteArray secondOutput = second.readAllStandardError();
  EXPECT_TRUE(secondOutput.contains("another copy runs")) << secondOutput.constData();
  EXPECT_FALSE(secondOutput.contains("running;")) << secondOutput.constData();

  // Restore first, then focus; by the focus request the window is no longer minimised.
  ASSERT_TRUE(WaitForOutput(first, firstOutput, "focus request")) << firstOutput.constData();
  const qsizetype restore = firstOutput.indexOf("restore request; minimised: true");
  ASSERT_GE(restore, 0) << firstOutput.constData();
  EXPECT_LT(restore, firstOutput.indexOf("focus request; minimised: false"))
      << firstOutput.constData();
  EXPECT_EQ(first.state(), QProcess::Running);

  first.kill();
  first.waitForFinished(kWaitMs);

  // With the first copy gone the lock is free again, even though it ended without
  // releasing it: the next start runs normally.
  QProcess third;
  Start(third);
  QByteArray thirdOutput;
  EXPECT_TRUE(WaitForOutput(third, thirdOutput, "running;")) << thirdOutput.constData();
  third.kill();
  third.waitForFinished(kWaitMs);
}

}  // namespace

namespace {
const QString kFtdiMissing = QStringLiteral("Драйвер устройств FTDI не установлен.");
const QString kQnMissing = QStringLiteral("Драйвер устройств QN не установлен.");
const QString kBothMissing = QStringLiteral(
    "Перед первым запуском программы подключите устройство к USB и установите драйвер.");
}  // namespace

TEST_F(StartupTest, MissingDriverLibrariesAreReported) {
  const struct {
    bool ftdi, qn;
    QStringList messages;
  } cases[] = {
      {true, true, {}},
      {false, true, {kFtdiMissing}},
      {true, false, {kQnMissing}},
      {false, false, {kFtdiMissing, kQnMissing, kBothMissing}},
  };
  for (const auto& c : cases) {
    if (!c.ftdi) RemoveDriver(QStringLiteral(VL_FTDI_STANDIN));
    if (!c.qn) RemoveDriver(QStringLiteral(VL_QN_STANDIN));
    QProcess process;
    Start(process);
    QByteArray output;
    if (c.ftdi || c.qn) {
      // The program runs on: it gets as far as its message loop.
      ASSERT_TRUE(WaitForOutput(process, output, "running;")) << output.constData();
      // Killed: a Windows program without the toolkit's own windows (offscreen) takes no
      // request to close, and a terminated one runs no shutdown on Linux either.
      process.kill();
      ASSERT_TRUE(process.waitForFinished(kWaitMs));
    } else {
      ASSERT_TRUE(process.waitForFinished(kWaitMs)) << "the program must end by itself";
      EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    }
    output += process.readAllStandardError();
    const QString text = QString::fromUtf8(output);
    qsizetype at = 0;
    for (const QString& message : c.messages) {
      const qsizetype found = text.indexOf(message, at);
      EXPECT_GE(found, 0) << message.toStdString() << "\n" << output.constData();
      at = found < 0 ? at : found;
    }
    for (const QString& message : {kFtdiMissing, kQnMissing, kBothMissing}) {
      if (!c.messages.contains(message)) {
        EXPECT_FALSE(text.contains(message)) << output.constData();
      }
    }
    // Ending by itself, the program still ran its shutdown and wrote its settings.
    if (!c.ftdi && !c.qn) {
      EXPECT_TRUE(QFile::exists(Dir.filePath("VLFWLoader.ini")));
    }
    if (!c.ftdi) CopyDriver(QStringLiteral(VL_FTDI_STANDIN));
    if (!c.qn) CopyDriver(QStringLiteral(VL_QN_STANDIN));
  }
}

// The station command line beside the window, started as a production line starts it.
namespace {

class StationProgramTest : public StartupTest {
protected:
  void SetUp() override {
    StartupTest::SetUp();
    const QFileInfo built(QStringLiteral(VL_FLASH_PATH));
    Station = Dir.filePath(built.fileName());
    ASSERT_TRUE(QFile::copy(built.filePath(), Station));
  }
  // Runs the station to its end and returns its exit code; its output goes to `output`.
  int RunStation(const QStringList& arguments, QByteArray& output) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start(Station, arguments);
    EXPECT_TRUE(process.waitForStarted(kWaitMs));
    EXPECT_TRUE(process.waitForFinished(kWaitMs));
    output = process.readAllStandardOutput() + process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }
  QString Station;
};

}  // namespace

TEST_F(StationProgramTest, RefusesWhileTheWindowRunsAndWithoutDriverLibraries) {
  QProcess window;
  Start(window);
  QByteArray windowOutput;
  ASSERT_TRUE(WaitForOutput(window, windowOutput, "running;")) << windowOutput.constData();
  QByteArray output;
  EXPECT_EQ(RunStation({"list", "--json"}, output), 4) << output.constData();
  EXPECT_TRUE(output.contains("\"event\":\"error\"")) << output.constData();
  EXPECT_TRUE(output.contains("\"holder\":\"VLFWLoader\"")) << output.constData();
  window.kill();
  window.waitForFinished(kWaitMs);

  RemoveDriver(QStringLiteral(VL_FTDI_STANDIN));
  RemoveDriver(QStringLiteral(VL_QN_STANDIN));
  EXPECT_EQ(RunStation({"list"}, output), 3) << output.constData();
  EXPECT_TRUE(QString::fromUtf8(output).contains("не установлены")) << output.constData();
}

TEST_F(StationProgramTest, UsageErrorsGiveCode2AndDamagedImages8) {
  QFile damaged(Dir.filePath("damaged.eraw"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("no container");
  damaged.close();
  QByteArray output;
  EXPECT_EQ(RunStation({"write", "--image", damaged.fileName()}, output), 8) << output.constData();
  EXPECT_TRUE(QString::fromUtf8(output).contains("Ошибка загрузки прошивки")) << output.constData();
  EXPECT_EQ(RunStation({"info", damaged.fileName(), "--json"}, output), 8) << output.constData();
  EXPECT_TRUE(output.contains("\"loaded\":false")) << output.constData();
  EXPECT_EQ(RunStation({"flash"}, output), 2) << output.constData();
  EXPECT_TRUE(output.contains("usage:")) << output.constData();
}

// Starts a watch and returns once it is under way; its output so far goes to `output`.
void StartWatch(QProcess& station, const QString& program, const QProcessEnvironment& env,
                QByteArray& output) {
  station.setProcessEnvironment(env);
  station.start(program, {"watch", "--json"});
  ASSERT_TRUE(station.waitForStarted(kWaitMs));
  for (int i = 0; i < kWaitMs / 100 && !output.contains("\"event\":\"image\""); ++i) {
    station.waitForReadyRead(100);
    output += station.readAllStandardOutput();
  }
  ASSERT_TRUE(output.contains("\"event\":\"image\"")) << output.constData();
}

// A request to end ends the watch with 130 and its summary: SIGTERM, as a line's
// supervisor sends it, or on Windows WM_CLOSE to the program's hidden window, as taskkill
// without /f sends it. (The console's control events take the same path; a test process
// has no console to send them to.)
TEST_F(StationProgramTest, RequestToEndStopsTheWatchWithCode130) {
#ifdef Q_OS_WIN
  const std::vector<int> requests = {0};  // QProcess::terminate: WM_CLOSE
#else
  // A line's supervisor (SIGTERM), Ctrl+C (SIGINT), a closed terminal (SIGHUP).
  const std::vector<int> requests = {SIGTERM, SIGINT, SIGHUP};
#endif
  for (const int request : requests) {
    SCOPED_TRACE(request);
    QProcess station;
    QByteArray output;
    StartWatch(station, Station, Environment(), output);
#ifdef Q_OS_WIN
    station.terminate();
#else
    ::kill(static_cast<pid_t>(station.processId()), request);
#endif
    ASSERT_TRUE(station.waitForFinished(kWaitMs));
    output += station.readAllStandardOutput();
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.exitCode(), 130);
    EXPECT_TRUE(output.contains("\"event\":\"summary\"")) << output.constData();
  }
}

TEST_F(StationProgramTest, HelpAndVersionAnywhereOnTheLine) {
  QByteArray output;
  EXPECT_EQ(RunStation({"write", "--serial", "1", "--help"}, output), 0);
  EXPECT_TRUE(output.startsWith("usage: vlfwflash")) << output.constData();
  EXPECT_EQ(RunStation({"list", "--version"}, output), 0);
  EXPECT_EQ(output.trimmed(), QByteArray("vlfwflash ") + kProgramVersion);
}

#ifdef Q_OS_WIN
// The station's hidden window, which takes the system's messages for the program.
struct TWindowSearch {
  DWORD Process;
  HWND Found;
};

BOOL CALLBACK MatchStationWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TWindowSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (process != search->Process || std::strcmp(name, "VLDeviceWatch") != 0) return TRUE;
  search->Found = window;
  return FALSE;
}

HWND StationWindow(qint64 processId) {
  TWindowSearch search{static_cast<DWORD>(processId), nullptr};
  EnumWindows(MatchStationWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// Log-off or shutdown: the system ends the program as soon as its windows have returned
// from WM_ENDSESSION, so by then the writes have stopped and the summary is out. (The
// test ends it so right after; Wine has no session to end.)
TEST_F(StationProgramTest, TheSessionsEndStopsTheWatchBeforeTheProgramIsEnded) {
  QProcess station;
  QByteArray output;
  StartWatch(station, Station, Environment(), output);
  HWND window = StationWindow(station.processId());
  ASSERT_NE(window, nullptr);
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                  kWaitMs, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                  kWaitMs, &answer));
  station.kill();  // as the system does
  station.waitForFinished(kWaitMs);
  output += station.readAllStandardOutput();
  EXPECT_TRUE(output.contains("\"event\":\"summary\"")) << output.constData();
  EXPECT_TRUE(output.contains("\"exit\":130")) << output.constData();
}
#endif

TEST_F(StationProgramTest, ItsVersionAndASealCheckOfItsOwn) {
  QByteArray output;
  EXPECT_EQ(RunStation({"--version"}, output), 0);
  EXPECT_EQ(output.trimmed(), QByteArray("vlfwflash ") + kProgramVersion);

  const qint64 offset = HarmlessByte(Station);
  ASSERT_GE(offset, 0);
  ChangeByte(Station, offset);
  EXPECT_EQ(RunStation({"list"}, output), 6) << output.constData();
  EXPECT_TRUE(QString::fromUtf8(output).contains(QStringLiteral("Файл программы повреждён"))) << output.constData();
}

// Every way the window refuses to start, with the code a script sees and the reason the
// user is told. A row's `prepare` breaks the copy or takes the devices; every row starts
// from an intact copy with both driver libraries beside it. A crash on the way out, or a
// refusal that returns the wrong code, fails its row.
TEST_F(StationProgramTest, TheWindowsRefusalsEachEndWithTheirCodeAndReason) {
  QProcess station;  // holds the devices in the row that needs it
  const struct {
    const char* what;
    std::function<void()> prepare;
    int exitCode;
    QStringList messages;  // in this order on the error stream
    bool windowBuilt;      // its settings file is written only once the window ran
  } cases[] = {
      {"changed program",
       [&] {
         const qint64 offset = HarmlessByte(Program);
         ASSERT_GE(offset, 0);
         ChangeByte(Program, offset);
         EXPECT_EQ(CheckExecutableSeal(Program), TIntegrity::Modified);
       },
       3,
       {QStringLiteral("Файл программы повреждён или изменён. Программа будет закрыта.")},
       false},
      {"program without its seal",
       [&] {
         QFile file(Program);
         ASSERT_TRUE(file.resize(file.size() - 1));
         file.close();
         EXPECT_EQ(CheckExecutableSeal(Program), TIntegrity::Unsealed);
       },
       3,
       {QStringLiteral("Файл программы повреждён или изменён. Программа будет закрыта.")},
       false},
      {"devices held by the station",
       [&] {
         QByteArray output;
         StartWatch(station, Station, Environment(), output);
       },
       4,
       {QStringLiteral("Приборы заняты программой vlfwflash: сначала закройте её.")},
       false},
      {"no driver library",
       [&] {
         RemoveDriver(QStringLiteral(VL_FTDI_STANDIN));
         RemoveDriver(QStringLiteral(VL_QN_STANDIN));
       },
       0,
       {kFtdiMissing, kQnMissing, kBothMissing},
       true},
  };
  const QString intact = Dir.filePath("intact");
  ASSERT_TRUE(QFile::copy(Program, intact));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    if (HasFatalFailure()) return;
    QProcess window;
    Start(window);
    ASSERT_TRUE(window.waitForFinished(kWaitMs)) << "the program must end by itself";
    const QByteArray said = window.readAllStandardError();
    EXPECT_EQ(window.exitStatus(), QProcess::NormalExit) << said.constData();
    EXPECT_EQ(window.exitCode(), c.exitCode) << said.constData();
    const QString text = QString::fromUtf8(said);
    qsizetype at = 0;
    for (const QString& message : c.messages) {
      const qsizetype found = text.indexOf(message, at);
      EXPECT_GE(found, 0) << message.toStdString() << "\n" << said.constData();
      at = found < 0 ? at : found;
    }
    EXPECT_EQ(QFile::exists(Dir.filePath("VLFWLoader.ini")), c.windowBuilt);

    // Back to an intact copy with its driver libraries and free devices.
    if (station.state() != QProcess::NotRunning) {
      station.terminate();
      ASSERT_TRUE(station.waitForFinished(kWaitMs));
    }
    QFile::remove(Dir.filePath("VLFWLoader.ini"));
    ASSERT_TRUE(QFile::remove(Program));
    ASSERT_TRUE(QFile::copy(intact, Program));
    for (const char* driver : {VL_FTDI_STANDIN, VL_QN_STANDIN}) {
      const QString path = QString::fromUtf8(driver);
      if (!QFile::exists(Dir.filePath(QFileInfo(path).fileName()))) CopyDriver(path);
    }
  }
}


#ifndef Q_OS_WIN
// A request to end that comes while the run is still being prepared must neither kill
// the program (no summary, no exit code a line's script can read) nor let it write the
// device it then finds: the run ends at once with 130. The image files refuse anything
// but a regular file, so the preparation is held at its last step instead: the lock that
// keeps two stations from both heading a new report is held here. The image has been
// loaded and said by then; the signal goes while the program waits there.
TEST_F(StationProgramTest, ARequestToEndWhileTheRunIsPreparedEndsWith130BeforeAnyWrite) {
  const QString bus = Dir.filePath("bus.txt");
  {
    QFile file(bus);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("device name=d adapter=ftdi serial=900 mode=boot loader=VLQN-1.3 plugged=1 "
               "erasems=0 writems=0 latency=0\n");
  }
  QProcessEnvironment env = Environment();
  env.insert("VL_SIM_BUS", bus);
  for (const int request : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(request);
    const QString report = Dir.filePath(QStringLiteral("report%1.csv").arg(request));
    QLockFile heading(report + ".lock");
    ASSERT_TRUE(heading.lock());
    QProcess station;
    station.setProcessEnvironment(env);
    station.start(Station, {"write", "--json", "--count", "1", "--report", report});
    ASSERT_TRUE(station.waitForStarted(kWaitMs));
    QByteArray output;
    for (int i = 0; i < kWaitMs / 100 && !output.contains("\"event\":\"image\""); ++i) {
      station.waitForReadyRead(100);
      output += station.readAllStandardOutput();
    }
    ASSERT_TRUE(output.contains("\"event\":\"image\"")) << output.constData();
    ::kill(static_cast<pid_t>(station.processId()), request);
    // Now the report file takes its header, and the run may go on.
    heading.unlock();
    ASSERT_TRUE(station.waitForFinished(kWaitMs));
    output += station.readAllStandardOutput();
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit) << output.constData();
    EXPECT_EQ(station.exitCode(), 130) << output.constData();
    EXPECT_TRUE(output.contains("\"event\":\"summary\"")) << output.constData();
    EXPECT_FALSE(output.contains("\"event\":\"started\"")) << output.constData();
    QFile flash(bus + ".d.flash");
    if (flash.open(QIODevice::ReadOnly)) {
      const QByteArray bytes = flash.readAll();
      EXPECT_EQ(bytes.count('\xFF'), bytes.size()) << "the device was written";
    }
  }
}
#endif
