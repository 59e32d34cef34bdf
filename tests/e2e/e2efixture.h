#pragma once
// The real main window, offscreen, against the simulated bus of this process: the window
// loads the stand-in driver libraries beside the test binary as it loads real ones.
#include <QCoreApplication>
#include <QFile>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QProgressBar>
#include <QGroupBox>
#include <QLabel>
#include <QCheckBox>
#include <QRegularExpression>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <thread>

#include "app/logpane.h"
#include "app/mainform.h"
#include "packer.h"
#include "support/waituntil.h"
#include "app/fwloaderdevgroup.h"
#include "sim/simbus.h"
#include "support/simdevices.h"
#include "support/formcontrols.h"


class E2ETest : public ::testing::Test {
protected:
  // A packed image file of the payload, for a window started with "externfirmware".
  QString PackFile(const std::vector<std::uint8_t>& payload, const QString& name = "image.eraw") {
    const TPackResult packed = PackImage("VLQN-2.3b", std::string("01.02.2024 10:00:00"), payload);
    EXPECT_TRUE(packed.Error.empty()) << packed.Error;
    const QString path = Dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(packed.Bytes.data()),
               static_cast<qint64>(packed.Bytes.size()));
    return path;
  }

  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    qputenv("XDG_DATA_HOME", Dir.filePath("userdata").toLocal8Bit());
    Bus.AttachFile("");
    Bus.Clear();
  }
  void TearDown() override {
    Form.reset();
    Bus.Clear();
  }

  // A device the built-in image ("VLQN-2.3b") fits: its boot loader is below 1.04.
  static TSimDeviceConfig Device(const std::string& name, TSimAdapter adapter,
                                 const std::string& serial, bool bootMode = true) {
    TSimDeviceConfig config = FastSimDevice(name, adapter, serial);
    config.LoaderVersion = "VLQN-1.3";
    config.BootMode = bootMode;
    return config;
  }

  TMainForm& Start(QStringList arguments = {}) {
    TMainFormSetup setup;
    setup.Arguments = std::move(arguments);
    setup.ProgramDir = Dir.path() + u'/';
    setup.ShowMessage = [this](const QString& text) { Messages << text; };
    if (Customise) Customise(setup);
    Form = std::make_unique<TMainForm>(std::move(setup));
    Form->resize(800, 600);
    Form->show();
    StartupLines = 0;
    StartupLines = Lines().size();
    return *Form;
  }

  // Log lines of the pane, without the lines of the start-up.
  QStringList Lines() {
    Form->FlushLog();
    QStringList lines;
    for (QTextBlock block = TFormControls(*Form).reLog->document()->begin(); block.isValid(); block = block.next())
      lines << block.text();
    return lines.mid(StartupLines);
  }
  bool Logged(const QString& line) { return Lines().contains(line); }
  qsizetype IndexOf(const QString& line) { return Lines().indexOf(line); }

  // The window is up, its first scan merged and the bus's devices listed.
  void WaitForScan(std::size_t devices) {
    ASSERT_TRUE(WaitUntil([&] { return !Form->Controller().ScanRunning() && Form->Controller().Devices().size() == devices; }))
        << Lines().join('\n').toStdString();
  }
  // Plugging as the system reports it: the window hears of a device change.
  void Notify() { Form->OnDeviceChange(kDevNodesChanged); }

  const TDevEntry* Listed(std::int32_t serial) {
    return Form->Controller().Device(Form->Controller().DeviceBySerial(serial));
  }
  TFWLoaderDevGroup* Panel(std::int32_t serial) {
    return Form->PanelOf(Form->Controller().DeviceBySerial(serial));
  }
  bool WaitForWrites() {
    return WaitUntil([&] { return Form->Controller().WritesRunning() == 0; });
  }

  TSimBus& Bus = TSimBus::Instance();
  // Changes the window's start-up set-up before the window is made.
  std::function<void(TMainFormSetup&)> Customise;
  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Form;
  QStringList Messages;
  qsizetype StartupLines = 0;
};
