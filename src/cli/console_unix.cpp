#include "cli/console.h"

void PrepareConsole() {}
