// What the Windows release relies on beyond the window itself: the programs' version
// resources and icons, the machine-wide device lock, the station's report against a file
// another program holds, its console text and the console events that end it.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <aclapi.h>
#include <io.h>
#include <shellapi.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "shell/devicelock.h"
#include "shell/programversion.h"
#include "shell/timerthrottling.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/interrupt_win.h"
#include "cli/stationreport.h"
#include "support/waituntil.h"

namespace {

constexpr int kWaitMs = 120000;

QString VersionString(const std::vector<char>& info, const wchar_t* name) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\041904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return {};
  return QString::fromWCharArray(static_cast<const wchar_t*>(value));
}

TEST(ProgramFiles, BothCarryTheirVersionAndTheIcon) {
  const struct {
    const char* path;
    const char* file;
  } programs[] = {{VL_LOADER_PATH, "VLFWLoader.exe"}, {VL_FLASH_PATH, "vlfwflash.exe"}};
  for (const auto& program : programs) {
    SCOPED_TRACE(program.file);
    const std::wstring path = QDir::toNativeSeparators(QString::fromUtf8(program.path)).toStdWString();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    EXPECT_EQ(VersionString(info, L"ProductVersion"), QString::fromLatin1(kProgramVersion));
    EXPECT_EQ(VersionString(info, L"FileVersion"), QString::fromLatin1(kProgramVersion));
    EXPECT_EQ(VersionString(info, L"ProductName"), QStringLiteral("Обновление прошивки Вельмарк"));
    EXPECT_EQ(VersionString(info, L"CompanyName"), QStringLiteral("Velmarkon"));
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), QString::fromLatin1(program.file));
    EXPECT_TRUE(VersionString(info, L"FileDescription").startsWith(QStringLiteral("Обновление прошивки")));
    EXPECT_GE(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 1u);
  }
}

// Another user's program must be able to open the lock: its DACL lets everyone wait on it
// and release it. (Wine has one session and one user; that second user is what it
// cannot show.)
TEST(DeviceLock, OneHolderMachineWideNamedToWhoeverIsRefused) {
  TDeviceLock window(QStringLiteral("VLFWLoader"));
  ASSERT_TRUE(window.TryAcquire());
  // Another thread stands for another program: a mutex is its owning thread's again.
  bool refused = false;
  QString holder;
  std::thread([&] {
    TDeviceLock station(QStringLiteral("vlfwflash"));
    refused = !station.TryAcquire();
    holder = station.Holder();
  }).join();
  EXPECT_TRUE(refused);
  EXPECT_EQ(holder, QStringLiteral("VLFWLoader"));

  // Its owner may read its DACL whatever the DACL says.
  HANDLE opened = OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, L"Global\\VLFWLoaderDevices");
  ASSERT_NE(opened, nullptr) << "not in the global namespace";
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetSecurityInfo(opened, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  bool everyoneMayUseIt = false;
  for (WORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && EqualSid(&ace->SidStart, everyone) &&
        (ace->Mask & (SYNCHRONIZE | MUTEX_MODIFY_STATE)) == (SYNCHRONIZE | MUTEX_MODIFY_STATE))
      everyoneMayUseIt = true;
  }
  FreeSid(everyone);
  LocalFree(descriptor);
  CloseHandle(opened);
  EXPECT_TRUE(everyoneMayUseIt);

  window.Release();
  std::thread([&] {
    TDeviceLock station(QStringLiteral("vlfwflash"));
    refused = !station.TryAcquire();
  }).join();
  EXPECT_FALSE(refused);
}

// A spreadsheet program holding the report open refuses appends: a short hold is waited
// out, a long one loses the record and says so.
TEST(StationReport, AFileHeldByAnotherProgramIsTriedAgainForAWhile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("line3.csv")));
  TStationReport report(path, std::chrono::seconds(20));
  QString error;
  ASSERT_EQ(report.Open(error), TStationReport::TOpenResult::Ready) << error.toStdString();
  const TStationReport::TRecord record{.Finished = QDateTime::currentDateTime(),
                                       .Serial = 5500250,
                                       .Adapter = QStringLiteral("ftdi"),
                                       .FirmwareBefore = QStringLiteral("VLQN-2.2"),
                                       .ImageVersion = QStringLiteral("VLQN-2.3b"),
                                       .Result = QStringLiteral("written"),
                                       .ResultCode = 0,
                                       .ResultText = QStringLiteral("Обновление прошивки завершено успешно"),
                                       .Seconds = 6.2};

  QProcess holder;
  holder.start(QStringLiteral(VL_WINTESTHELPER), {QStringLiteral("hold"), path, QStringLiteral("3000")});
  ASSERT_TRUE(holder.waitForReadyRead(kWaitMs));
  ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "held");
  EXPECT_TRUE(report.Append(record, error)) << error.toStdString();
  holder.waitForFinished(kWaitMs);

  holder.start(QStringLiteral(VL_WINTESTHELPER), {QStringLiteral("hold"), path, QStringLiteral("60000")});
  ASSERT_TRUE(holder.waitForReadyRead(kWaitMs));
  TStationReport impatient(path, std::chrono::milliseconds(500));
  EXPECT_FALSE(impatient.Append(record, error));
  EXPECT_FALSE(error.isEmpty());
  holder.kill();
  holder.waitForFinished(kWaitMs);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), 2);  // the header and the one record kept
}

// The console gets the text as UTF-16 and keeps its code page: the cmd.exe that shares
// it reads its own lines as before.
TEST(StationConsole, CyrillicReachesTheConsoleAndItsCodePageStays) {
  // A console of the test's own: whatever the process has (under Wine a stand-in for the
  // terminal it was started from, which has no screen buffer) is let go first.
  FreeConsole();
  const DWORD allocated = AllocConsole() ? 0 : GetLastError();
  HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  std::FILE* console = nullptr;
  if (screen != INVALID_HANDLE_VALUE)
    console = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(screen), 0), "w");
  if (!console || !GetConsoleScreenBufferInfo(screen, &info)) {
    if (console) std::fclose(console);
    GTEST_SKIP() << "no console screen here (AllocConsole: " << allocated << ", then " << GetLastError() << ")";
  }
  SetConsoleOutputCP(866);
  const UINT before = GetConsoleOutputCP();
  const COORD start = {0, static_cast<SHORT>(info.dwCursorPosition.Y + 1)};
  WriteText(console, "\nПрибор 5500250: прошит\n");
  wchar_t shown[32] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(screen, shown, 22, start, &read));
  EXPECT_EQ(QString::fromWCharArray(shown, static_cast<int>(read)), QStringLiteral("Прибор 5500250: прошит"));
  EXPECT_EQ(GetConsoleOutputCP(), before);
  std::fclose(console);
}

// Closing the console window: the system ends the program once the handler returns, so
// it returns only after the run has ended (the interrupt below stands for the stop of
// the writes and the last lines). Ctrl+C returns at once: the program lives on.
TEST(StationConsole, ClosingTheConsoleWaitsForTheRunsEnd) {
  QObject target;
  std::atomic<bool> stopped{false};
  InstallInterruptHandler(target, [&] {
    QThread::msleep(300);
    stopped = true;
  });
  std::atomic<bool> returned{false};
  std::atomic<bool> stoppedBeforeReturn{false};
  std::thread system([&] {
    OnConsoleEvent(CTRL_CLOSE_EVENT);
    stoppedBeforeReturn = stopped.load();
    returned = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return returned.load(); }, kWaitMs));
  system.join();
  EXPECT_TRUE(stoppedBeforeReturn);

  stopped = false;
  EXPECT_TRUE(OnConsoleEvent(CTRL_C_EVENT));
  EXPECT_FALSE(stopped);  // queued to the main thread, not run on the system's
  EXPECT_TRUE(WaitUntil([&] { return stopped.load(); }, kWaitMs));
}

// Where the system knows the request (Windows 11) it must take it; Wine and older
// systems refuse it, and the program runs on as before.
TEST(TimerThrottling, TheOptOutIsAskedForWhereTheSystemKnowsIt) {
  const bool taken = KeepTimerResolutionWhenHidden();
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!GetProcAddress(kernel, "SetProcessInformation")) {
    EXPECT_FALSE(taken);
  }
  std::printf("timer-resolution opt-out taken by this system: %s\n", taken ? "yes" : "no");
}

}  // namespace
