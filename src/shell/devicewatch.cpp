#include "shell/devicewatch.h"

#include <QFileInfo>

#include "shell/devicewatch_p.h"

TDeviceWatch::TDeviceWatch(const QString& simBusPath, QObject* parent)
    : QObject(parent), SimBusPath(simBusPath) {
  SystemSource = StartSystemDeviceSource(*this);
  connect(&SimBusWatcher, &QFileSystemWatcher::fileChanged, this, &TDeviceWatch::SimBusChanged);
  connect(&SimBusWatcher, &QFileSystemWatcher::directoryChanged, this,
          &TDeviceWatch::SimBusDirectoryChanged);
  WatchSimBus();
}

TDeviceWatch::~TDeviceWatch() = default;

QString TDeviceWatch::SimBusPathFromEnvironment() {
  return qEnvironmentVariable("VL_SIM_BUS");
}

void TDeviceWatch::WatchSimBus() {
  if (SimBusPath.isEmpty()) return;
  // The simulator replaces the file as a whole (write, then rename), which ends the
  // watch on the old file; the directory's watch sees the new one appear.
  const QString directory = QFileInfo(SimBusPath).absolutePath();
  if (!SimBusWatcher.directories().contains(directory)) SimBusWatcher.addPath(directory);
  if (QFileInfo::exists(SimBusPath) && !SimBusWatcher.files().contains(SimBusPath))
    SimBusWatcher.addPath(SimBusPath);
}

void TDeviceWatch::SimBusChanged() {
  if (QFileInfo::exists(SimBusPath) && !SimBusWatcher.files().contains(SimBusPath))
    SimBusWatcher.addPath(SimBusPath);
  emit DeviceChange(kDevNodesChanged);
}

void TDeviceWatch::SimBusDirectoryChanged() {
  // Only a bus file that has appeared anew counts; other files of the directory do not.
  if (!QFileInfo::exists(SimBusPath) || SimBusWatcher.files().contains(SimBusPath)) return;
  SimBusWatcher.addPath(SimBusPath);
  emit DeviceChange(kDevNodesChanged);
}
