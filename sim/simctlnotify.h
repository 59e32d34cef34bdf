#pragma once

// Tells the system's running programs that the simulated bus has changed, as the system
// tells them of a real plug or unplug. On Windows: WM_DEVICECHANGE with
// DBT_DEVNODES_CHANGED sent to every top-level window. On Linux nothing: the program
// watches the bus file itself.
void AnnounceBusChange();
