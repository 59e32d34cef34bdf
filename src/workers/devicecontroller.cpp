#include "workers/devicecontroller.h"

#include <QEventLoop>
#include <algorithm>

#include "scan/driverdevices.h"
#include "workers/readversion.h"

TDeviceController::TDeviceController(TLogSink& log, TImageProvider& images, QObject* parent,
                                     TDeviceEnumerator* enumerator, TChannelFactory* channels)
    : QObject(parent),
      Log(log),
      Images(images),
      OwnEnumerator(enumerator ? nullptr : std::make_unique<TDriverDevices>()),
      OwnChannels(channels ? nullptr : std::make_unique<TDriverChannels>()),
      Enumerator(enumerator ? *enumerator : *OwnEnumerator),
      Channels(channels ? *channels : *OwnChannels),
      DevTimer(new QTimer(this)) {
  setObjectName(QStringLiteral("DeviceController"));
  DevTimer->setObjectName(QStringLiteral("DevTimer"));
  DevTimer->setInterval(kScanIntervalMs);
  connect(DevTimer, &QTimer::timeout, this, &TDeviceController::DevTimerTimer);
}

TDeviceController::~TDeviceController() { Shutdown(); }

auto TDeviceController::Find(TDeviceId id) -> TSlot* {
  const auto it = std::find_if(DevList.begin(), DevList.end(),
                               [id](const TSlot& slot) { return slot.Id == id; });
  return it == DevList.end() ? nullptr : &*it;
}

auto TDeviceController::Find(TDeviceId id) const -> const TSlot* {
  return const_cast<TDeviceController*>(this)->Find(id);
}

std::vector<TDeviceController::TDeviceId> TDeviceController::Devices() const {
  std::vector<TDeviceId> ids;
  for (const TSlot& slot : DevList) ids.push_back(slot.Id);
  return ids;
}

const TDevEntry* TDeviceController::Device(TDeviceId id) const {
  const TSlot* slot = Find(id);
  return slot ? slot->Entry.get() : nullptr;
}

TDeviceController::TDeviceId TDeviceController::DeviceBySerial(std::int32_t serialNumber) const {
  for (const TSlot& slot : DevList)
    if (slot.Entry->SerialNumber == serialNumber) return slot.Id;
  return 0;
}

bool TDeviceController::IsWriting(TDeviceId id) const {
  const TSlot* slot = Find(id);
  return slot && slot->Write != nullptr;
}

bool TDeviceController::IsGone(TDeviceId id) const {
  const TSlot* slot = Find(id);
  return slot && slot->Gone;
}

void TDeviceController::Status(const TSlot& slot, const char* text, TLogLevel level) {
  emit DeviceStatus(slot.Id, QString::fromUtf8(text), level);
}

// ---------------------------------------------------------------- scan

void TDeviceController::Start() {
  if (Started || Closing) return;
  Started = true;
  DevTimer->start();
}

void TDeviceController::OnDeviceChange(int eventCode) {
  if (eventCode != kDevNodesChanged || !Started || Closing) return;
  DevTimer->stop();
  DevTimer->start();
}

void TDeviceController::DevTimerTimer() {
  DevTimer->stop();
  StartScan();
}

void TDeviceController::StartScan() {
  if (Closing) return;
  if (ScanThread != nullptr) {
    // A device plugged in while a scan runs may have been listed after that scan looked:
    // one more scan follows the merge.
    ScanPending = true;
    return;
  }
  std::vector<TListedDevice> listed;
  for (const TSlot& slot : DevList)
    listed.push_back({slot.Id, slot.Entry->SerialNumber, slot.Entry->AdapterKind});
  ScanThread = new TReadVersion(std::move(listed), Enumerator, Channels, *this, Log,
                                [this](const std::vector<TDeviceId>& gone) { MarkGone(gone); });
  connect(ScanThread, &QThread::finished, this, &TDeviceController::ScanFinished,
          Qt::QueuedConnection);
  ScanThread->start(QThread::NormalPriority);
}

void TDeviceController::MarkGone(const std::vector<TDeviceId>& gone) {
  for (const TDeviceId id : gone) {
    // A record whose write has ended since the scan looked may be gone already.
    TSlot* slot = Find(id);
    if (slot == nullptr) continue;
    slot->Gone = true;
    if (slot->Write != nullptr) slot->Write->RequestStop();
  }
}

void TDeviceController::ScanFinished() {
  std::unique_ptr<TReadVersion> thread(ScanThread);
  thread->wait();
  ScanThread = nullptr;
  TScanResult& scan = thread->Result;
  if (Closing) return;  // what the scan found is not shown any more
  if (scan.ErrorCode != seNone) {
    Log.LogMessage(llError, 0,
                   "(% 6d)Ошибка %d поиске новых устройств. Последний код ответа прибора %d",
                   scan.Elapsed, scan.ErrorCode, scan.LastReplyCode);
  } else {
    for (auto it = DevList.begin(); it != DevList.end();) {
      if (it->Gone && it->Write == nullptr) {
        Log.LogMessage(llInfo, it->Entry->SerialNumber, "Прибор отключен");
        const TDeviceId id = it->Id;
        const std::int32_t serial = it->Entry->SerialNumber;
        it = DevList.erase(it);
        emit DeviceRemoved(id, serial);
      } else {
        ++it;
      }
    }
    for (auto& added : scan.NewDevices) ListDevice(std::move(added));
    emit DeviceCountChanged(static_cast<int>(DevList.size()));
  }
  emit ScanEnded(scan.ErrorCode);
  if (ScanPending) {
    ScanPending = false;
    StartScan();
  }
}

void TDeviceController::ListDevice(std::unique_ptr<TDevEntry> entry) {
  const TDevEntry& device = *entry;
  Log.LogMessage(llInfo, device.SerialNumber, "Прибор подключен");
  DevList.push_back({++LastId, std::move(entry), nullptr, false});
  const TDeviceId id = LastId;
  emit DeviceListed(id, device.Identity());
  emit WriteAllowed(id, device.BootMode);
  Log.LogMessage(llInfo, device.SerialNumber, "Версия прошивки %s",
                 device.FirmwareVersion.VersionText().c_str());
  if (device.BootMode)
    Log.LogMessage(llInfo, 0, "Версия загрузчика %s", device.LoaderVersion.VersionText().c_str());
  Log.LogMessage(llInfo, device.SerialNumber, "Идентификатор процессора 0x%08X",
                 device.ProcessorId);
  Log.LogMessage(llInfo, device.SerialNumber, "Режим работы - %s",
                 device.BootMode ? "Загрузчик" : "Прошивка");
  TSlot& slot = DevList.back();
  if (device.Identity().MustReconnect) Status(slot, kReconnectStatusText, llSuccess);
  if (device.BootMode && AutoWrite) RequestWrite(id);
}

// ---------------------------------------------------------------- write

void TDeviceController::RequestWrite(TDeviceId id) {
  TSlot* slot = Find(id);
  if (slot == nullptr) {
    Log.LogMessage(llError, 0, "Объект прибора не найден");
    return;
  }
  if (slot->Entry->BootMode && slot->Write == nullptr) StartWrite(*slot);
}

void TDeviceController::StartWrite(TSlot& slot) {
  if (Closing) return;
  emit WriteAllowed(slot.Id, false);
  Log.LogMessage(llInfo, slot.Entry->SerialNumber, "Начинаем прошивку прибора");
  Status(slot, "Обновление прошивки прибора...", llSuccess);
  // Afresh for every write, so that a file changed since the last one is what is written;
  // a load that fails is handed over as well, and the write ends on it.
  TFirmwareImage image = Images.LoadImage();
  const TDeviceId id = slot.Id;
  auto* thread = new TWriteThread(id, *slot.Entry, std::move(image), Channels, *this, Log,
                                  [this, id](int position) { emit DeviceProgress(id, position); });
  slot.Write = thread;
  connect(thread, &QThread::finished, this, [this, thread] { OnWriteEnd(thread); },
          Qt::QueuedConnection);
  ++RunningWrites;
  thread->start(QThread::NormalPriority);
}

void TDeviceController::OnWriteEnd(TWriteThread* ended) {
  std::unique_ptr<TWriteThread> thread(ended);
  thread->wait();
  --RunningWrites;
  TSlot* slot = Find(thread->DeviceId);
  const std::int32_t serial = slot->Entry->SerialNumber;
  const TWriteOutcome& outcome = thread->Outcome;
  const TWriteEndLine line = WriteEndLine(outcome);
  Log.LogText(line.Level, serial, line.Text);
  slot->Write = nullptr;
  const TDeviceId id = slot->Id;
  emit WriteAllowed(id, true);
  emit WriteEnded(id, outcome);
  if (Find(id) == nullptr || !Find(id)->Gone) return;
  Log.LogMessage(llInfo, serial, "Прибор отключен");
  Remove(id);
  emit DeviceCountChanged(static_cast<int>(DevList.size()));
  // While this record was listed, a scan took the device plugged in again for this one
  // and left it unlisted: a scan now lists it.
  if (!Closing) StartScan();
}

void TDeviceController::Remove(TDeviceId id) {
  const auto slot = std::find_if(DevList.begin(), DevList.end(),
                                 [id](const TSlot& listed) { return listed.Id == id; });
  const std::int32_t serial = slot->Entry->SerialNumber;
  DevList.erase(slot);
  emit DeviceRemoved(id, serial);
}

// ---------------------------------------------------------------- shutdown

void TDeviceController::Shutdown() {
  if (Closing) return;
  Closing = true;
  ScanPending = false;
  DevTimer->stop();
  if (ScanThread != nullptr) ScanThread->RequestStop();
  for (const TSlot& slot : DevList)
    if (slot.Write != nullptr) slot.Write->RequestStop();
  // The workers may be waiting for a hand-over: keep serving them until every one has
  // ended and its end handling has run. A write stops before its next sector.
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (ScanThread == nullptr && RunningWrites == 0) loop.quit();
  });
  poll.start(10);
  if (ScanThread != nullptr || RunningWrites > 0) loop.exec();
  DevList.clear();
}
