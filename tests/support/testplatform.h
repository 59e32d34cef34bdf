#pragma once
// What the tests do differently per system (testplatform_unix.cpp, testplatform_win.cpp).
#include <string>

// Whether the library file at path is loaded in this process.
bool LibraryStillLoaded(const std::string& path);

unsigned long CurrentProcessId();

// A named pipe in directory (Linux) or in the system's pipe space (Windows) that nobody
// writes to: a reader that opens it and waits would wait for ever. Its path.
std::string MakeNamedPipe(const std::string& directory);

// A name in directory whose reading never ends: a link to /dev/zero on Linux, the
// console's input device on Windows.
std::string MakeEndlessDevicePath(const std::string& directory);

// Whether this process holds the file open (a file deleted while open counts).
bool FileHeldOpenHere(const std::string& path);
