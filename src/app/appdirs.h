#pragma once
#include <QString>

// The directory of the program's own executable, ending in '/'.
QString ExecutableDirectory();

// The user's per-application data directory, ending in '/'; where the settings file and
// the logs go when the program's own directory cannot take them.
QString UserDataDirectory();

// True when a file can be created in the directory (it must exist). Asking the file
// system is the only test that holds for read-only media, access rules and redirected
// program directories alike.
bool DirectoryAcceptsFiles(const QString& directory);
