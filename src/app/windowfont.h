#pragma once

// The window is laid out for Tahoma. Where the system has no font of that family but the
// one Wine's font package ships is there (on Linux, outside the font configuration's
// folders), that one is registered for the program. Call once the application exists and
// before the window is built.
void MakeWindowFontAvailable();
