#include "cli/console.h"

#include <QString>
#include <io.h>
#include <windows.h>

// The console takes UTF-16 whatever its code page (WriteConsoleW, Microsoft Learn:
// learn.microsoft.com/windows/console/writeconsole). Setting the code page to UTF-8
// instead would change it for every program of the console, the cmd.exe running the
// line's batch file among them, which would then read its own Cyrillic lines wrongly
// after the program ended, and after a crash nothing would set it back.
bool WriteText(std::FILE* stream, const QByteArray& utf8) {
  std::fflush(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    const std::wstring text = QString::fromUtf8(utf8).toStdWString();
    DWORD written = 0;
    return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == static_cast<DWORD>(text.size());
  }
  const std::size_t size = static_cast<std::size_t>(utf8.size());
  const bool written = std::fwrite(utf8.constData(), 1, size, stream) == size;
  return std::fflush(stream) == 0 && written;
}

void KeepStandardStreamsOpen() {}

// ENABLE_VIRTUAL_TERMINAL_PROCESSING makes the console act on colour and cursor sequences
// (Console Virtual Terminal Sequences, Microsoft Learn: learn.microsoft.com/windows/
// console/console-virtual-terminal-sequences); a console that refuses the mode (before
// Windows 10) gets plain lines.
bool TerminalTakesSequences(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
