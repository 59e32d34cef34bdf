// The device panels: the window's view of what the device controller lists.
#include <QCheckBox>
#include <QPushButton>

#include "app/mainform.h"

void TMainForm::ConnectController() {
  using TId = TDeviceController::TDeviceId;
  TDeviceController* devices = Devices.get();
  connect(devices, &TDeviceController::DeviceListed, this, &TMainForm::AddDevPanel);
  connect(devices, &TDeviceController::DeviceRemoved, this, [this](TId id) { Panels.erase(id); });
  connect(devices, &TDeviceController::DeviceStatus, this,
          [this](TId id, const QString& text, TLogLevel level) {
            if (TFWLoaderDevGroup* panel = PanelOf(id)) panel->SetStatus(text.toStdString(), level);
          });
  connect(devices, &TDeviceController::DeviceProgress, this, [this](TId id, int position) {
    if (TFWLoaderDevGroup* panel = PanelOf(id)) panel->SetProgress(position);
  });
  connect(devices, &TDeviceController::WriteAllowed, this, [this](TId id, bool allowed) {
    if (TFWLoaderDevGroup* panel = PanelOf(id)) panel->SetWriteAllowed(allowed);
  });
  connect(devices, &TDeviceController::WriteEnded, this,
          [this](TId id, const TWriteOutcome& outcome) {
            if (TFWLoaderDevGroup* panel = PanelOf(id)) panel->ShowOutcome(outcome);
          });
  connect(devices, &TDeviceController::DeviceCountChanged, this, &TMainForm::UpdateDevPanelHeight);
  connect(cbAutoWrite, &QCheckBox::toggled, devices, &TDeviceController::SetAutoWrite);
}

TFWLoaderDevGroup* TMainForm::PanelOf(TDeviceController::TDeviceId id) const {
  const auto it = Panels.find(id);
  return it == Panels.end() ? nullptr : it->second.get();
}

void TMainForm::AddDevPanel(TDeviceController::TDeviceId id, const TDeviceIdentity& device) {
  // Panels stand in the order the devices were listed: a new one goes to the bottom.
  auto panel = std::make_unique<TFWLoaderDevGroup>(
      DevPanel, QString::number(device.SerialNumber),
      device.BootMode ? QString::fromStdString(device.LoaderVersion.VersionText()) : QString(),
      QString::fromStdString(device.FirmwareVersion.VersionText()));
  connect(panel->btnWrite, &QPushButton::clicked, this, [this, id] { Devices->RequestWrite(id); });
  Panels[id] = std::move(panel);
}

void TMainForm::UpdateDevPanelHeight(int deviceCount) {
  DevPanel->setMinimumHeight(DevPanelMinimumHeight(deviceCount));
}
