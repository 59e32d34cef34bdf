#pragma once

// False where nobody could see or close a message box: the offscreen and minimal
// platforms of headless runs and tests. Messages go to the error stream there instead.
bool MessageBoxesVisible();
