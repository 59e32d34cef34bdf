#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>

#include "firmware/exclusivefile_p.h"

std::optional<std::vector<std::uint8_t>> ReadFileExclusive(const std::filesystem::path& path) {
  // Share mode 0: while we read, nobody else may open the file, and we fail if someone has.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> result;
  LARGE_INTEGER size{};
  // Only a file on disk: a device name such as CON or a pipe would never end or never
  // answer.
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= 0) {
    try {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
      std::size_t done = 0;
      bool ok = true;
      while (ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        ok = ReadFile(file, bytes.data() + done, chunk, &read, nullptr) && read > 0;
        done += read;
      }
      if (ok) result = std::move(bytes);
    } catch (const std::bad_alloc&) {
    }
  }
  CloseHandle(file);
  return result;
}
