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

// True for a copy installed for all users of the machine (on Windows, under Program
// Files). Such a copy keeps its settings and logs in each user's data directory, whatever
// rights it happens to run with, so that every user finds their own; a copy elsewhere
// keeps them beside itself. In appdirs_unix.cpp and appdirs_win.cpp.
bool InstalledForAllUsers(const QString& programDir);

// Where the daily logs of a program in programDir go first: beside it, or the user's data
// directory for a copy installed for all users.
QString LogFolderFor(const QString& programDir);
