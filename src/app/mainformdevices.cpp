// The device list as the window keeps it: scans and their merge, the device panels, and
// the start and end of writes.
#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "app/mainform.h"
#include "devices/fwloaderdevgroup.h"
#include "devices/readversion.h"
#include "protocol/identityquery.h"
#include "protocol/textformat.h"

TFWLoaderDevGroup* TMainForm::PanelOf(const TDevEntry& device) {
  // Every panel in the window is a device group; records outside DevList have none.
  return static_cast<TFWLoaderDevGroup*>(device.Panel.get());
}

void TMainForm::ShowDeviceStatus(TDevEntry& device, const std::string& text, TLogLevel level) {
  if (device.Panel) device.Panel->SetStatus(text, level);
}

void TMainForm::ShowProgress(TDevEntry& device, int position) {
  if (TFWLoaderDevGroup* panel = PanelOf(device)) panel->pbProgress->setValue(position);
}

void TMainForm::UpdateDevPanelHeight() {
  DevPanel->setMinimumHeight(DevPanelMinimumHeight(static_cast<int>(DevList.size())));
}

// ---------------------------------------------------------------- scan

void TMainForm::StartScan() {
  if (Closing) return;
  if (ScanThread != nullptr) {
    // A device plugged in while a scan runs may have been listed after that scan looked:
    // one more scan follows the merge.
    ScanPending = true;
    return;
  }
  ScanThread = new TReadVersion(DevList, DevListLock, *this, *this);
  connect(ScanThread, &QThread::finished, this, &TMainForm::ScanFinished, Qt::QueuedConnection);
  ScanThread->start(QThread::NormalPriority);
}

void TMainForm::ScanFinished() {
  TReadVersion* thread = ScanThread;
  thread->wait();
  TDeviceScan& scan = thread->Scan;
  if (Closing) {
    // Shutdown has begun: what the scan found is not shown any more.
  } else if (scan.ErrorCode != seNone) {
    LogMessage(llError, 0, "(% 6d)Ошибка %d поиске новых устройств. Последний код ответа прибора %d",
               scan.Elapsed, scan.ErrorCode, scan.LastReplyCode);
  } else {
    {
      std::lock_guard lock(DevListLock);
      for (auto it = DevList.begin(); it != DevList.end();) {
        TDevEntry& device = **it;
        if (device.Disconnected && device.WriteThread == nullptr) {
          LogMessage(llInfo, device.SerialNumber, "Прибор отключен");
          it = DevList.erase(it);
        } else {
          ++it;
        }
      }
      for (auto& added : scan.NewDevices) {
        TDevEntry& device = *added;
        LogMessage(llInfo, device.SerialNumber, "Прибор подключен");
        DevList.push_back(std::move(added));
        CreateDevPanel(device);
        TFWLoaderDevGroup* panel = PanelOf(device);
        panel->btnWrite->setEnabled(device.BootMode);
        connect(panel->btnWrite, &QPushButton::clicked, this,
                [this, button = panel->btnWrite] { btnWriteClick(button); });
        LogMessage(llInfo, device.SerialNumber, "Версия прошивки %s",
                   device.FirmwareVersion.VersionText().c_str());
        if (device.BootMode)
          LogMessage(llInfo, 0, "Версия загрузчика %s", device.LoaderVersion.VersionText().c_str());
        LogMessage(llInfo, device.SerialNumber, "Идентификатор процессора 0x%08X",
                   device.ProcessorId);
        LogMessage(llInfo, device.SerialNumber, "Режим работы - %s",
                   device.BootMode ? "Загрузчик" : "Прошивка");
        if (!device.BootMode && device.BootStarted)
          ShowDeviceStatus(device, "Отключите прибор и подключите заново.", llSuccess);
        if (device.BootMode && cbAutoWrite->isChecked()) panel->btnWrite->click();
      }
      scan.NewDevices.clear();
    }
    UpdateDevPanelHeight();
  }
  ScanThread = nullptr;
  delete thread;
  if (ScanPending && !Closing) {
    ScanPending = false;
    StartScan();
  }
}

void TMainForm::CreateDevPanel(TDevEntry& device) {
  // Panels stand in the order of DevList: a new one goes to the bottom.
  device.Panel = std::make_unique<TFWLoaderDevGroup>(
      DevPanel, QString::number(device.SerialNumber),
      device.BootMode ? QString::fromStdString(device.LoaderVersion.VersionText()) : QString(),
      QString::fromStdString(device.FirmwareVersion.VersionText()));
}

// ---------------------------------------------------------------- write

void TMainForm::btnWriteClick(QObject* sender) {
  const auto it = std::find_if(DevList.begin(), DevList.end(), [&](const auto& device) {
    const TFWLoaderDevGroup* panel = PanelOf(*device);
    return panel != nullptr && panel->btnWrite == sender;
  });
  if (it == DevList.end()) {
    LogMessage(llError, "Объект прибора не найден");
    return;
  }
  TDevEntry& device = **it;
  if (device.BootMode && device.WriteThread == nullptr) StartWrite(device);
}

void TMainForm::StartWrite(TDevEntry& device) {
  if (device.WriteThread != nullptr) {
    LogMessage(llInfo, device.SerialNumber, "Прибор уже прошивается");
    return;
  }
  if (Closing) return;
  auto* thread = new TWriteThread(device, *this, *this, *this);
  {
    // The scan thread reads WriteThread under the lock.
    std::lock_guard lock(DevListLock);
    device.WriteThread = thread;
  }
  connect(thread, &QThread::finished, this, [this, thread] { OnWriteEnd(thread); },
          Qt::QueuedConnection);
  ++RunningWrites;
  thread->start(QThread::NormalPriority);
  PanelOf(device)->btnWrite->setEnabled(false);
  LogMessage(llInfo, device.SerialNumber, "Начинаем прошивку прибора");
  ShowDeviceStatus(device, "Обновление прошивки прибора...", llSuccess);
}

void TMainForm::OnWriteEnd(TWriteThread* thread) {
  thread->wait();
  TDevEntry& device = thread->Device;
  const std::int32_t serial = device.SerialNumber;
  if (thread->ResultCode != wrSuccess && thread->LastReplyCode == 138) {
    ShowDeviceStatus(device, "Прибор заблокирован", llError);
    LogMessage(llError, serial, "Установлена блокировка изменения настроек");
  } else if (thread->ResultCode == wrIncompatible) {
    ShowDeviceStatus(device, "Прошивка и прибор не совместимы", llError);
    LogMessage(llError, serial, "Прибор не совместим с данной версией прошивки");
  } else if (thread->ResultCode != wrSuccess) {
    ShowDeviceStatus(device, FormatText("Ошибка %d при обновлении прошивки", thread->ResultCode),
                     llError);
    LogMessage(llError, serial, "(% 6d)Ошибка %d при прошивке. Последний код ответа прибора %d",
               thread->Elapsed, thread->ResultCode, static_cast<int>(thread->LastReplyCode));
  } else {
    ShowDeviceStatus(device, "Обновление прошивки завершено успешно", llSuccess);
    LogMessage(llInfo, serial, "(% 6d)Прошивка завершена успешно", thread->Elapsed);
  }
  bool removed = false;
  {
    std::lock_guard lock(DevListLock);
    device.WriteThread = nullptr;
    PanelOf(device)->btnWrite->setEnabled(true);
    if (device.Disconnected) {
      LogMessage(llInfo, serial, "Прибор отключен");
      // This record, not another one that may carry the same serial number.
      DevList.erase(std::find_if(DevList.begin(), DevList.end(),
                                 [&](const auto& entry) { return entry.get() == &device; }));
      removed = true;
    }
  }
  if (removed) UpdateDevPanelHeight();
  --RunningWrites;
  delete thread;
}

// ---------------------------------------------------------------- shutdown

void TMainForm::StopWorkers() {
  Closing = true;
  ScanPending = false;
  {
    std::lock_guard lock(DevListLock);
    if (ScanThread != nullptr) ScanThread->RequestStop();
    for (const auto& device : DevList)
      if (device->WriteThread != nullptr) device->WriteThread->RequestStop();
  }
  // The workers may be waiting for a hand-over: keep serving them until every one has
  // ended and its end handling has run. A write stops before its next sector.
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (ScanThread == nullptr && RunningWrites == 0) loop.quit();
  });
  poll.start(10);
  if (ScanThread != nullptr || RunningWrites > 0) loop.exec();
}

// Nothing to close: a record holds no handle. The scan and each write own the channel
// they open, and it closes itself when they end, before StopWorkers returns.
void TMainForm::CloseDeviceChannel(TDevEntry&) {}
