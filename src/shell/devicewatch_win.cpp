#include "shell/devicewatch_p.h"

#include <windows.h>

namespace {

constexpr char kWindowClass[] = "VLDeviceWatch";

// The system sends WM_DEVICECHANGE to every top-level window, hidden ones included, but
// not to message-only windows. A hidden top-level window of our own receives it whatever
// the toolkit's platform draws with, and on the main thread, whose event loop handles
// its messages. (A native event filter of the toolkit did not see the broadcast under
// Wine.)
class TDeviceChangeWindow final : public TDeviceWatch::TSystemSource {
public:
  explicit TDeviceChangeWindow(TDeviceWatch& watch) : Watch(watch) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    Window = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, instance, nullptr);
    if (Window) SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TDeviceChangeWindow() override {
    if (Window) DestroyWindow(Window);
  }
  TDeviceChangeWindow(const TDeviceChangeWindow&) = delete;
  TDeviceChangeWindow& operator=(const TDeviceChangeWindow&) = delete;

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TDeviceChangeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
      case WM_DEVICECHANGE:
        emit self->Watch.DeviceChange(static_cast<int>(wParam));
        return TRUE;
      case WM_CLOSE:
        // Left to the default, the window would be destroyed and the watch would end
        // silently while the program runs on.
        emit self->Watch.EndRequested();
        return 0;
      case WM_QUERYENDSESSION:
        return TRUE;
      case WM_ENDSESSION:
        // A program that uses windows learns of a log-off or shutdown here and not from
        // the console's control handler, and is ended once every window has returned
        // from this message (WM_ENDSESSION, and SetConsoleCtrlHandler's remarks on
        // programs that load user32.dll, Microsoft Learn).
        if (wParam) emit self->Watch.SessionEnding();
        return 0;
      default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  TDeviceWatch& Watch;
  HWND Window = nullptr;
};

}  // namespace

std::unique_ptr<TDeviceWatch::TSystemSource> StartSystemDeviceSource(TDeviceWatch& watch) {
  return std::make_unique<TDeviceChangeWindow>(watch);
}
