#include <windows.h>

#include "link/driverlibs_p.h"

const char* const kFtdiLibraryName = "ftd2xx.dll";
const char* const kQnLibraryName = "VLUSB.dll";

void* OpenDriverLibrary(const char* fileName) {
  // Take the current directory out of the search order before the first load, so that a
  // library planted in whatever directory the program was started from is never picked
  // up. The program's directory, the system directories and PATH still apply.
  static const bool currentDirectoryRemoved = SetDllDirectoryA("") != FALSE;
  (void)currentDirectoryRemoved;
  return reinterpret_cast<void*>(LoadLibraryA(fileName));
}

void* FindDriverSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDriverLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
