#include "support/testplatform.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

bool LibraryStillLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

std::string MakeNamedPipe(const std::string& directory) {
  const std::string path = directory + "/pipe.eraw";
  return mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
}

std::string MakeEndlessDevicePath(const std::string& directory) {
  const std::string path = directory + "/zero.eraw";
  return symlink("/dev/zero", path.c_str()) == 0 ? path : std::string();
}
