#include "app/windowfont.h"

// Tahoma comes with every Windows.
void MakeWindowFontAvailable() {}
