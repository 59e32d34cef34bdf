#include "support/testplatform.h"

#include <dlfcn.h>
#include <limits.h>
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

bool FileHeldOpenHere(const std::string& path) {
  const std::string fds = "/proc/self/fd";
  for (int fd = 0; fd < 4096; ++fd) {
    char target[PATH_MAX] = {};
    const std::string link = fds + "/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) continue;
    const std::string held(target, static_cast<std::size_t>(length));
    if (held == path || held == path + " (deleted)") return true;
  }
  return false;
}
