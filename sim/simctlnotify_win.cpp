#include "sim/simctlnotify.h"

#include <windows.h>
#include <dbt.h>

void AnnounceBusChange() {
  // As the system does: to every top-level window, without waiting long for one that
  // does not answer.
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0,
                      SMTO_ABORTIFHUNG | SMTO_NORMAL, 1000, &result);
}
