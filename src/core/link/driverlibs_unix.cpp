#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "link/driverlibs_p.h"

// Bare names: dlopen searches the usual places, which include the program's own
// directory through its RPATH $ORIGIN, so the libraries can ship beside the program.
const char* const kFtdiLibraryName = "libftd2xx.so";
const char* const kQnLibraryName = "libVLUSB.so";

namespace {

std::string ProgramDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string program(path, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1);
}

}  // namespace

void* OpenDriverLibrary(const char* fileName) {
  if (void* library = dlopen(fileName, RTLD_NOW | RTLD_LOCAL)) return library;
  // The RPATH of the program applies only when the program itself calls dlopen; a
  // sanitizer's interceptor makes the call from its own library, and then $ORIGIN is
  // lost. Look in the program's directory by hand, for bare names only.
  const std::string name(fileName);
  const std::string directory = ProgramDirectory();
  if (name.find('/') != std::string::npos || directory.empty()) return nullptr;
  return dlopen((directory + name).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindDriverSymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseDriverLibrary(void* library) { dlclose(library); }
