#include "shell/timerthrottling.h"

#include <windows.h>

// From Windows 11 on, a process whose windows are all minimised or hidden gets the
// system's default timer resolution (about 15.6 ms) whatever timeBeginPeriod asked for,
// unless it opts out (timeBeginPeriod's remarks, Microsoft Learn:
// learn.microsoft.com/windows/win32/api/timeapi/nf-timeapi-timebeginperiod). A write
// pauses 1 ms between frames many times over: throttled, it takes ten times as long.
// The opt-out is SetProcessInformation with ProcessPowerThrottling and
// PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION in ControlMask and not in StateMask
// (SetProcessInformation, Microsoft Learn: learn.microsoft.com/windows/win32/api/
// processthreadsapi/nf-processthreadsapi-setprocessinformation). A system that does not
// know the flag refuses the call, which changes nothing. The function is looked up at
// run time since the compiler's import library may lack it.
namespace {

constexpr int kProcessPowerThrottling = 4;  // PROCESS_INFORMATION_CLASS
constexpr ULONG kPowerThrottlingCurrentVersion = 1;
constexpr ULONG kIgnoreTimerResolution = 0x4;

struct TPowerThrottlingState {  // PROCESS_POWER_THROTTLING_STATE
  ULONG Version;
  ULONG ControlMask;
  ULONG StateMask;
};

using TSetProcessInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

}  // namespace

bool KeepTimerResolutionWhenHidden() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto set = kernel ? reinterpret_cast<TSetProcessInformation>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessInformation")))
                          : nullptr;
  if (!set) return false;
  TPowerThrottlingState state = {kPowerThrottlingCurrentVersion, kIgnoreTimerResolution, 0};
  return set(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state) != FALSE;
}
