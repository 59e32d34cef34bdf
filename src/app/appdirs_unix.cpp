#include "app/appdirs.h"

// A system-wide installation is one whose directory the user cannot write; the settings
// and logs then go to the user's data directory by that test alone.
bool InstalledForAllUsers(const QString&) { return false; }
