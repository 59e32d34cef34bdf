#include <dlfcn.h>

#include "link/driverlibs_p.h"

// Bare names: dlopen searches the usual places, which include the program's own
// directory through its RPATH $ORIGIN, so the libraries can ship beside the program.
const char* const kFtdiLibraryName = "libftd2xx.so";
const char* const kQnLibraryName = "libVLUSB.so";

void* OpenDriverLibrary(const char* fileName) { return dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }

void* FindDriverSymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseDriverLibrary(void* library) { dlclose(library); }
