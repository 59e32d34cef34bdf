#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "firmware/exclusivefile_p.h"

namespace {

// Closes the descriptor on every way out.
struct TDescriptor {
  int Fd;
  ~TDescriptor() {
    if (Fd >= 0) ::close(Fd);
  }
};

}  // namespace

// POSIX has no share modes: the file is read as it stands. Only a regular file is read:
// opening a named pipe would wait for a writer for ever, and a device such as /dev/zero
// never ends; the open does not wait, and the kind is taken from what was opened, so a
// file swapped for a pipe after the caller looked at it is refused all the same.
std::optional<std::vector<std::uint8_t>> ReadFileExclusive(const std::filesystem::path& path) {
  const TDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.Fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(file.Fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
    return std::nullopt;
  try {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::read(file.Fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return std::nullopt;  // failed, or the file shrank: read short
      done += static_cast<std::size_t>(got);
    }
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}
