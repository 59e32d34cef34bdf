#pragma once
#include <QByteArray>
#include <cstdio>

// Writes the program's UTF-8 text to a standard stream. A Windows console shows it as
// UTF-16 through the console's own call, so the console's code page, which the
// cmd.exe that started the program shares, is never changed; a pipe or a file gets the
// UTF-8 bytes as they are, as everywhere on Linux.
void WriteText(std::FILE* stream, const QByteArray& utf8);
