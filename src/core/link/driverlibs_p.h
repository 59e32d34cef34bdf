#pragma once
// Process-wide state of the two driver libraries and the pieces the loaders are made of.
#include "link/driverlibs.h"
#include "link/ftd2xx_p.h"
#include "link/vlusb_p.h"

struct TFtdiDriver {
  void* Library = nullptr;  // non-null only when every entry point was found
  TFtdiApi Api;
};

struct TQnDriver {
  void* Library = nullptr;
  TQnApi Api;
};

// The process-wide drivers. Written by the loaders on the main thread before any worker
// runs; tests of the link layer may swap in a scripted table and restore the old one.
TFtdiDriver& FtdiDriver();
TQnDriver& QnDriver();

// Loads the named library and looks up every name in order into api. At the first
// missing name the library is released and null returned; the names found before it stay
// in api. Leaves the process-wide drivers alone, so tests can try any library file.
void* ResolveFtdiDriver(const char* fileName, TFtdiApi& api);
void* ResolveQnDriver(const char* fileName, TQnApi& api);

// Platform part (driverlibs_unix.cpp / driverlibs_win.cpp).
extern const char* const kFtdiLibraryName;
extern const char* const kQnLibraryName;
void* OpenDriverLibrary(const char* fileName);
void* FindDriverSymbol(void* library, const char* name);
void CloseDriverLibrary(void* library);
