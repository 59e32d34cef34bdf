#include "cli/console.h"

#include <windows.h>

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }
