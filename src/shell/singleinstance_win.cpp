#include "shell/singleinstance.h"

#include <windows.h>

#include <string>

namespace {

constexpr char kWindowClass[] = "TMainForm";

// The caption in the system's code page, as FindWindowA compares it.
std::string AnsiText(const QString& text) {
  const std::wstring wide = text.toStdWString();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), size, nullptr, nullptr);
  ansi.resize(static_cast<size_t>(size - 1));
  return ansi;
}

// The window a second copy looks for. The toolkit names its own window classes, so a
// hidden top-level window of class "TMainForm" with the main window's caption stands in
// for the main window: FindWindowA sees hidden windows, message-only ones it does not.
LRESULT CALLBACK ProxyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<TSingleInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (owner && message == TSingleInstance::kRestoreMessage) {
    emit owner->RestoreRequested();
    return 0;
  }
  if (owner && message == WM_SETFOCUS) {
    emit owner->FocusRequested();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

class TSingleInstance::TPrivate {
public:
  HANDLE Mutex = nullptr;
  bool Owned = false;
  HWND Proxy = nullptr;
};

TSingleInstance::TSingleInstance() : d(std::make_unique<TPrivate>()) {}

TSingleInstance::~TSingleInstance() { Release(); }

bool TSingleInstance::TryAcquire() {
  d->Mutex = CreateMutexA(nullptr, FALSE, kLockName);
  if (!d->Mutex) return false;
  d->Owned = WaitForSingleObject(d->Mutex, kLockWaitMs) == WAIT_OBJECT_0;
  return d->Owned;
}

void TSingleInstance::Release() {
  if (d->Proxy) {
    DestroyWindow(d->Proxy);
    d->Proxy = nullptr;
  }
  if (d->Mutex) {
    if (d->Owned) ReleaseMutex(d->Mutex);
    CloseHandle(d->Mutex);
    d->Mutex = nullptr;
    d->Owned = false;
  }
}

bool TSingleInstance::Listen(const QString& caption) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ProxyWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  d->Proxy = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, AnsiText(caption).c_str(), WS_POPUP, 0, 0, 0, 0,
                             nullptr, nullptr, instance, nullptr);
  if (!d->Proxy) return false;
  SetWindowLongPtrA(d->Proxy, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

void TSingleInstance::NotifyRunningCopy(const QString& caption) {
  HWND window = FindWindowA(kWindowClass, AnsiText(caption).c_str());
  if (!window) return;
  // Lets the running copy bring its window to the front; Windows refuses that to a
  // process that did not get the last input event.
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId) AllowSetForegroundWindow(processId);
  PostMessageA(window, kRestoreMessage, 0, 0);
  PostMessageA(window, WM_SETFOCUS, 0, 0);
}
