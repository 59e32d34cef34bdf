// A second process for the Windows tests, standing alone (linked statically, so that a
// copy of it runs from any folder):
//   wintesthelper loadqn            loads the maker's library as the program does and
//                                   prints "loaded <file>" or "missing"
//   wintesthelper hold FILE MS      keeps FILE open for reading for MS milliseconds,
//                                   printing "held" once it is open
//   wintesthelper rename FROM TO    renames a file; exit code 0 when done
//   wintesthelper delete FILE       deletes a file; exit code 0 when done
//   wintesthelper fault             writes through a null pointer with a filter that
//                                   prints "caught <code>" and exits with 3
//   wintesthelper crash             writes through a null pointer with nothing to catch it
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/driverlibs.h"

namespace {

LONG WINAPI PrintFaultAndExit(EXCEPTION_POINTERS* fault) {
  std::printf("caught %08lx\n", static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode));
  std::fflush(stdout);
  ExitProcess(3);
}

void WriteThroughNull() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "loadqn") == 0) {
    void* library = LoadQnDriver();
    if (!library) {
      std::puts("missing");
      return 0;
    }
    char file[MAX_PATH] = {};
    GetModuleFileNameA(static_cast<HMODULE>(library), file, MAX_PATH);
    std::printf("loaded %s\n", file);
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "hold") == 0) {
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    CloseHandle(file);
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "rename") == 0) return MoveFileA(argv[2], argv[3]) ? 0 : 1;
  if (argc >= 3 && std::strcmp(argv[1], "delete") == 0) return DeleteFileA(argv[2]) ? 0 : 1;
  if (argc >= 2 && std::strcmp(argv[1], "fault") == 0) {
    SetUnhandledExceptionFilter(PrintFaultAndExit);
    WriteThroughNull();
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "crash") == 0) {
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    WriteThroughNull();
    return 0;
  }
  std::fputs("usage: wintesthelper loadqn | hold FILE MS | rename FROM TO | delete FILE | fault"
             " | crash\n", stderr);
  return 2;
}
