// The bus file's platform part on Linux: the replacing rename, the version signature and
// the lock, with POSIX calls.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "sim/busfile.h"

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::string FileVersionSignature(const std::string& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return "";
  return std::to_string(info.st_ino) + ":" + std::to_string(info.st_size) + ":" +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

TBusFileLock::TBusFileLock(const std::string& busPath) {
  if (busPath.empty()) return;
  const int fd = open((busPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  Handle = fd;
}

TBusFileLock::~TBusFileLock() {
  if (Handle >= 0) close(static_cast<int>(Handle));
}
