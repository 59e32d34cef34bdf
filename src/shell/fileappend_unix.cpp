#include "shell/fileappend.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool TAppendFile::Open(const QString& path) {
  Close();
  const QByteArray name = QFile::encodeName(path);
  // O_APPEND puts every write at the end, even when another process appends too.
  Handle = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return Handle >= 0;
}

bool TAppendFile::IsOpen() const { return Handle >= 0; }

bool TAppendFile::Append(const QByteArray& bytes) {
  if (Handle < 0) return false;
  const int fd = static_cast<int>(Handle);
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

void TAppendFile::Close() {
  if (Handle < 0) return;
  ::close(static_cast<int>(Handle));
  Handle = -1;
}
