#pragma once

// Makes the console show the program's UTF-8 output as it is (Windows consoles start in
// the system's own code page); nothing to do elsewhere.
void PrepareConsole();
