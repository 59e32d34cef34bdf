#include "shell/fileappend.h"

#include <windows.h>

#include <string>

namespace {
HANDLE AsHandle(qintptr handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

bool TAppendFile::Open(const QString& path) {
  Close();
  const std::wstring name = path.toStdWString();
  // FILE_APPEND_DATA alone makes every write land at the end of the file; the share
  // flags let other programs read, rename or delete the log while it is open.
  HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  Handle = reinterpret_cast<qintptr>(file);
  return true;
}

bool TAppendFile::IsOpen() const { return Handle != -1; }

bool TAppendFile::Append(const QByteArray& bytes) {
  if (Handle == -1) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(AsHandle(Handle), bytes.constData(),
                            static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == static_cast<DWORD>(bytes.size());
}

void TAppendFile::Close() {
  if (Handle == -1) return;
  CloseHandle(AsHandle(Handle));
  Handle = -1;
}
