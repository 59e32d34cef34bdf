#include "cli/console.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool WriteText(std::FILE* stream, const QByteArray& utf8) {
  const std::size_t size = static_cast<std::size_t>(utf8.size());
  const bool written = std::fwrite(utf8.constData(), 1, size, stream) == size;
  return std::fflush(stream) == 0 && written;
}

void KeepStandardStreamsOpen() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: the closed one itself.
    const int opened = open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened != descriptor && opened >= 0) close(opened);
  }
}

bool TerminalTakesSequences(std::FILE* stream) { return isatty(fileno(stream)) != 0; }
