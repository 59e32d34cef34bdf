#include <windows.h>

#include <algorithm>
#include <string>

#include "link/driverlibs_p.h"

const char* const kFtdiLibraryName = "ftd2xx.dll";
const char* const kQnLibraryName = "VLUSB.dll";

namespace {

bool IsAbsolute(const std::string& directory) {
  return directory.size() >= 3 && directory[1] == ':' && (directory[2] == '\\' || directory[2] == '/');
}

}  // namespace

// The usual search order without the working directory, so that a library planted in
// whatever directory the program was started from is never picked up: the program's
// directory and the system directory, then the Windows directory and the absolute
// entries of PATH. (SetDllDirectory("") would say the same in one call on Windows, but
// Wine takes an empty DLL directory for none and searches the working directory still.)
void* OpenDriverLibrary(const char* fileName) {
  if (HMODULE library = LoadLibraryExA(fileName, nullptr,
                                       LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                                           LOAD_LIBRARY_SEARCH_SYSTEM32))
    return reinterpret_cast<void*>(library);
  // A path names the file itself: nothing to search.
  if (std::string(fileName).find_first_of("\\/") != std::string::npos) return nullptr;
  std::string directories;
  char windows[MAX_PATH] = {};
  if (const UINT length = GetWindowsDirectoryA(windows, MAX_PATH); length > 0 && length < MAX_PATH)
    directories = std::string(windows) + ";";
  const DWORD pathLength = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (pathLength > 0) {
    std::string path(pathLength, '\0');
    path.resize(GetEnvironmentVariableA("PATH", path.data(), pathLength));
    directories += path;
  }
  std::size_t start = 0;
  while (start <= directories.size()) {
    const std::size_t end = std::min(directories.find(';', start), directories.size());
    std::string directory = directories.substr(start, end - start);
    start = end + 1;
    if (!IsAbsolute(directory)) continue;
    if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
    const std::string file = directory + fileName;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
      return reinterpret_cast<void*>(library);
  }
  return nullptr;
}

void* FindDriverSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDriverLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
