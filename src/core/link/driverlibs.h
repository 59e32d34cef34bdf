#pragma once
// The two driver libraries, loaded at run time; either may be missing.
//
// Each loader loads its library by bare file name (the platform's usual search order),
// resolves every entry point the system knows of, all or nothing, and keeps the library
// and its entry points for the rest of the process. Call them on the main thread before
// any scan or write starts; afterwards the link layer only reads what they stored.

// The library handle, or null when the library is missing or lacks one of its 21 names.
// Once loaded, later calls return the same handle without loading again.
void* LoadFtdiDriver();

// The library handle, or null when the library is missing or lacks one of its 7 names.
void* LoadQnDriver();

bool FtdiDriverLoaded();
bool QnDriverLoaded();

// Which of the two libraries loaded; both are tried, the FTDI one first.
struct TLoadedDrivers {
  bool Ftdi = false;
  bool Qn = false;
};
TLoadedDrivers LoadDriverLibraries();
