#pragma once
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <memory>

#include "workers/devicechange.h"

// Tells a front end when the system's set of devices may have changed: DeviceChange
// carries the event code of the system's notification, kDevNodesChanged when devices came
// or went. On Linux a udev monitor of the USB subsystem is the source, on Windows the
// WM_DEVICECHANGE message. When the simulator runs, its bus file is a source too: every
// change of the file counts as kDevNodesChanged.
class TDeviceWatch : public QObject {
  Q_OBJECT
public:
  // simBusPath: the simulated bus's file, empty when no simulator runs.
  explicit TDeviceWatch(const QString& simBusPath, QObject* parent = nullptr);
  ~TDeviceWatch() override;

  // The simulator's file from the environment (VL_SIM_BUS), empty when not set.
  static QString SimBusPathFromEnvironment();

  // The operating system's source, in devicewatch_unix.cpp / devicewatch_win.cpp.
  class TSystemSource;

signals:
  void DeviceChange(int eventCode);
  // Windows only, to the program's hidden window. A request to end the program from
  // outside (WM_CLOSE, as taskkill without /f sends it to every top-level window).
  void EndRequested();
  // The session ends (log-off, shutdown): the system ends the program as soon as the
  // slots return, so they must have stopped the program's work by then.
  void SessionEnding();

private:
  void WatchSimBus();
  void SimBusChanged();
  void SimBusDirectoryChanged();

  std::unique_ptr<TSystemSource> SystemSource;

  QString SimBusPath;
  QFileSystemWatcher SimBusWatcher;
};
