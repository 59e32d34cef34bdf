#include "shell/devicewatch_p.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace {

// A udev monitor of the "usb" subsystem: every device event there means the set of USB
// devices may have changed, which is what DBT_DEVNODES_CHANGED says on Windows.
class TUdevSource final : public TDeviceWatch::TSystemSource {
public:
  explicit TUdevSource(TDeviceWatch& watch) {
    Udev = udev_new();
    if (!Udev) return;
    Monitor = udev_monitor_new_from_netlink(Udev, "udev");
    if (!Monitor) return;
    if (udev_monitor_filter_add_match_subsystem_devtype(Monitor, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(Monitor) < 0)
      return;
    const int fd = udev_monitor_get_fd(Monitor);
    if (fd < 0) return;
    Notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, &watch, [this, &watch] {
      // Drain what is there; one notification is enough for a burst.
      bool any = false;
      while (udev_device* device = udev_monitor_receive_device(Monitor)) {
        udev_device_unref(device);
        any = true;
      }
      if (any) emit watch.DeviceChange(kDevNodesChanged);
    });
  }

  ~TUdevSource() override {
    Notifier.reset();
    if (Monitor) udev_monitor_unref(Monitor);
    if (Udev) udev_unref(Udev);
  }

  bool Running() const { return Notifier != nullptr; }

private:
  udev* Udev = nullptr;
  udev_monitor* Monitor = nullptr;
  std::unique_ptr<QSocketNotifier> Notifier;
};

}  // namespace

std::unique_ptr<TDeviceWatch::TSystemSource> StartSystemDeviceSource(TDeviceWatch& watch) {
  auto source = std::make_unique<TUdevSource>(watch);
  if (!source->Running()) return nullptr;
  return source;
}
