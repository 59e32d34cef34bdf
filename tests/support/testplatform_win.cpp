#include "support/testplatform.h"

#include <windows.h>

bool LibraryStillLoaded(const std::string& path) {
  return GetModuleHandleA(path.c_str()) != nullptr;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

std::string MakeNamedPipe(const std::string&) {
  static int count = 0;
  const std::string path = "\\\\.\\pipe\\vl-test-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string(++count);
  // The server end stays open, unconnected, for the rest of the test process.
  HANDLE pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                 PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
  return pipe == INVALID_HANDLE_VALUE ? std::string() : path;
}

std::string MakeEndlessDevicePath(const std::string&) { return "CONIN$"; }

// Opening it with no sharing fails while any handle is open, ours included; a file
// deleted while open cannot be opened at all until its last handle is closed.
bool FileHeldOpenHere(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}
