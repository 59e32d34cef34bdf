#include "app/fileappend.h"

#include <windows.h>

#include <string>

bool AppendToFile(const QString& path, const QByteArray& bytes) {
  const std::wstring name = path.toStdWString();
  // FILE_APPEND_DATA alone makes every write land at the end of the file; the share
  // flags let other programs read, rename or delete the log while it is open.
  HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.constData(), static_cast<DWORD>(bytes.size()), &written,
                            nullptr);
  CloseHandle(file);
  return ok && written == static_cast<DWORD>(bytes.size());
}
