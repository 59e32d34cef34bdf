#include "benchplatform.h"

#include <windows.h>
#include <malloc.h>
#include <psapi.h>

namespace {

PROCESS_MEMORY_COUNTERS_EX Counters() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters;
}

}  // namespace

double HeapInUse() { return static_cast<double>(Counters().PrivateUsage); }

double ResidentBytes() { return static_cast<double>(Counters().WorkingSetSize); }

double MainThreadCpuMs() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ms = [](const FILETIME& time) {
    return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

void TrimHeap() { _heapmin(); }
