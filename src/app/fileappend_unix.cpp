#include "app/fileappend.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool AppendToFile(const QString& path, const QByteArray& bytes) {
  const QByteArray name = QFile::encodeName(path);
  // O_APPEND puts every write at the end, even when another process appends too.
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    data += written;
    left -= written;
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}
