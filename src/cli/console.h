#pragma once
#include <QByteArray>
#include <cstdio>

// Writes the program's UTF-8 text to a standard stream. A Windows console shows it as
// UTF-16 through the console's own call, so the console's code page, which the
// cmd.exe that started the program shares, is never changed; a pipe or a file gets the
// UTF-8 bytes as they are, as everywhere on Linux.
// False when the text could not be written (a closed pipe, a full disk).
bool WriteText(std::FILE* stream, const QByteArray& utf8);

// Started with a standard stream closed (`>&-`), the program would hand its number to the
// next file it opens (the lock, the log, the report), and the events would go into that
// file: each closed one of the three is opened on the null device instead. Nothing to do
// on Windows, where files are not opened by the lowest free number.
void KeepStandardStreamsOpen();

// Whether the stream is a terminal that takes colour and cursor sequences. On Windows the
// console is asked to interpret them, which consoles before Windows 10 cannot.
bool TerminalTakesSequences(std::FILE* stream);
