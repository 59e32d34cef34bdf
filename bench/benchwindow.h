#pragma once
// The real main window, offscreen, against the simulated bus of this process, for the
// benchmarks that measure the loader as a user runs it. The window loads the stand-in
// driver libraries beside the benchmark binary as it loads the real ones.
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/mainform.h"
#include "app/fwloaderdevgroup.h"
#include "sim/simbus.h"
#include "support/formcontrols.h"

// The platform is chosen before the application exists, unless the caller chose one.
inline void UseOffscreenPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the event loop until done() holds, looking every millisecond; the loop sleeps in
// between, so the wait takes no processor time from the threads being measured. Exits
// the benchmark when the bound passes: a figure from a run that hung means nothing.
inline void RunUntil(const std::function<bool()>& done, int boundMs = 600000) {
  if (done()) return;
  QEventLoop loop;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer bound;
  bound.setSingleShot(true);
  QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
    std::fprintf(stderr, "benchmark: the awaited state did not come within %d ms\n", boundMs);
    std::exit(2);
  });
  poll.start();
  bound.start(boundMs);
  loop.exec();
}

// A simulated device the built-in image fits (its boot loader is below 1.04), with the
// simulator's default timing: erase, write and the FTDI latency timer cost what real
// adapters cost.
inline TSimDeviceConfig BenchDevice(const std::string& name, const std::string& serial) {
  TSimDeviceConfig config;
  config.Name = name;
  config.Adapter = saFtdi;
  config.Serial = serial;
  config.LoaderVersion = "VLQN-1.3";
  return config;
}

class TBenchWindow {
public:
  // busFile: the bus file the window watches for plug and unplug; empty: none, and
  // device changes are announced with Notify.
  explicit TBenchWindow(const QString& busFile = {}) {
    qputenv("XDG_DATA_HOME", Dir.filePath("userdata").toLocal8Bit());
    TMainFormSetup setup;
    setup.ProgramDir = Dir.path() + u'/';
    setup.SimBusPath = busFile;
    setup.ShowMessage = [](const QString& text) {
      std::fprintf(stderr, "start-up message: %s\n", text.toLocal8Bit().constData());
    };
    Form = std::make_unique<TMainForm>(std::move(setup));
    Form->resize(800, 600);
    Form->show();
    TFormControls(*Form).cbWritelogToFile->setChecked(true);
  }

  TMainForm& operator*() { return *Form; }
  TMainForm* operator->() { return Form.get(); }

  void WaitForScan(std::size_t devices) {
    RunUntil([&] { return !Form->Controller().ScanRunning() && !Form->Controller().ScanTimer().isActive() &&
                          Form->Controller().Devices().size() == devices; });
  }
  void Notify() { Form->OnDeviceChange(kDevNodesChanged); }

  TFWLoaderDevGroup* Panel(std::int32_t serial) {
    return Form->PanelOf(Form->Controller().DeviceBySerial(serial));
  }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Form;
};
