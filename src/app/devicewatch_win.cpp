#include "app/devicewatch_p.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <windows.h>

namespace {

// Every top-level window receives WM_DEVICECHANGE; the filter sees the messages of all
// the program's windows. The toolkit builds the message it hands the filter itself and
// leaves its time unset, so two notifications cannot be told from one by their fields:
// each is passed on, and a burst restarts the device timer a few times, which is harmless.
class TDeviceChangeFilter final : public TDeviceWatch::TSystemSource,
                                  public QAbstractNativeEventFilter {
public:
  explicit TDeviceChangeFilter(TDeviceWatch& watch) : Watch(watch) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TDeviceChangeFilter() override {
    if (QCoreApplication::instance())
      QCoreApplication::instance()->removeNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_DEVICECHANGE) return false;
    // Only one window of ours should pass the message on: the first top-level one that
    // receives it (the window carrying the taskbar button).
    if (GetAncestor(msg->hwnd, GA_ROOT) != msg->hwnd) return false;
    emit Watch.DeviceChange(static_cast<int>(msg->wParam));
    return false;  // the toolkit's own handling goes on
  }

private:
  TDeviceWatch& Watch;
};

}  // namespace

std::unique_ptr<TDeviceWatch::TSystemSource> StartSystemDeviceSource(TDeviceWatch& watch) {
  return std::make_unique<TDeviceChangeFilter>(watch);
}
