// The bus file's platform part on Windows: a rename that replaces the old file (tried
// again while a reader has it open, since Windows refuses to replace an open file), the
// version signature from the file's identity, and the lock with LockFileEx.
#include <windows.h>

#include <fstream>

#include "sim/busfile.h"

namespace {

// Paths come in the system's code page, as the environment and the narrow file streams
// give them.
std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

constexpr int kReplaceTries = 500;  // 1 ms apart: a reader holds the file for far less

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  const std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
  {
    std::ofstream out(Wide(temporary).c_str(), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) return false;
  }
  for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
    if (MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    Sleep(1);
  }
  DeleteFileW(Wide(temporary).c_str());
  return false;
}

std::string FileVersionSignature(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != FALSE;
  CloseHandle(file);
  if (!known) return "";
  const auto join = [](DWORD high, DWORD low) {
    return std::to_string((static_cast<unsigned long long>(high) << 32) | low);
  };
  return join(info.nFileIndexHigh, info.nFileIndexLow) + ":" +
         join(info.nFileSizeHigh, info.nFileSizeLow) + ":" +
         join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
}

TBusFileLock::TBusFileLock(const std::string& busPath) {
  if (busPath.empty()) return;
  HANDLE file = CreateFileW(Wide(busPath + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(file);
    return;
  }
  Handle = reinterpret_cast<std::intptr_t>(file);
}

TBusFileLock::~TBusFileLock() {
  if (Handle == -1) return;
  HANDLE file = reinterpret_cast<HANDLE>(Handle);
  OVERLAPPED whole{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(file);
}
