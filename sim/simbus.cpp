#include "sim/simbus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "sim/busfile.h"
#include "sim/simdevice.h"

namespace {

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::chrono::steady_clock::time_point TimeOf(std::uint64_t ms) {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

}  // namespace

struct TSimBus::TBusDevice {
  std::shared_ptr<TSimDevice> Device;
  std::uint32_t Session = 0;  // the open session, 0 when closed
  std::string FileLine;       // the device's line as last read from or written to the file
};

struct TSimBus::TSession {
  std::shared_ptr<TSimDevice> Device;
  TSimAdapter Adapter = saFtdi;
  bool Dead = false;  // unplugged or removed while open
  std::deque<std::pair<std::uint64_t, std::uint8_t>> Pending;  // byte and when it shows
  std::uint32_t ReadTimeoutMs = 0;
  std::uint32_t LatencyMs = 0;
  std::uint64_t OpenedMs = 0;
  std::uint64_t BusyUntilMs = 0;
};

TSimBus& TSimBus::Instance() {
  static TSimBus bus;
  return bus;
}

TSimBus::TSimBus() {
  if (const char* path = std::getenv("VL_SIM_BUS"); path && *path) AttachFile(path);
}

TSimBus::TBusDevice* TSimBus::FindLocked(const std::string& name) {
  for (auto& device : Devices)
    if (device->Device->Config.Name == name) return device.get();
  return nullptr;
}

TSimBus::TSession* TSimBus::SessionLocked(std::uint32_t session) {
  const auto found = Sessions.find(session);
  return found == Sessions.end() ? nullptr : &found->second;
}

// ---- Control --------------------------------------------------------------------------

void TSimBus::AttachFile(const std::string& path) {
  std::lock_guard lock(Mutex);
  BusPath = path;
  FileSignature.clear();
  if (BusPath.empty()) return;
  TBusFileLock fileLock(BusPath);
  if (ReadWholeFile(BusPath)) SyncLocked();
  if (!ReadWholeFile(BusPath) || FileNeedsWrite) WriteFileLocked();
}

std::string TSimBus::FilePath() {
  std::lock_guard lock(Mutex);
  return BusPath;
}

void TSimBus::Clear() {
  std::lock_guard lock(Mutex);
  TBusFileLock fileLock(BusPath);
  for (auto& device : Devices) UnplugLocked(*device);
  Devices.clear();
  CallCounts.clear();
  WriteFileLocked();
}

bool TSimBus::Add(const TSimDeviceConfig& config) {
  if (!IsValidSimDeviceName(config.Name)) return false;
  std::lock_guard lock(Mutex);
  TBusFileLock fileLock(BusPath);
  SyncLocked();
  if (TBusDevice* device = FindLocked(config.Name)) {
    ApplyLocked(*device, config);
  } else {
    auto added = std::make_unique<TBusDevice>();
    added->Device = std::make_shared<TSimDevice>(config);
    Devices.push_back(std::move(added));
  }
  WriteFileLocked();
  return true;
}

bool TSimBus::Remove(const std::string& name) {
  std::lock_guard lock(Mutex);
  TBusFileLock fileLock(BusPath);
  SyncLocked();
  TBusDevice* device = FindLocked(name);
  if (!device) return false;
  UnplugLocked(*device);
  std::erase_if(Devices, [device](const auto& d) { return d.get() == device; });
  WriteFileLocked();
  return true;
}

bool TSimBus::Plug(const std::string& name) {
  return Configure(name, [](TSimDeviceConfig& c) { c.Plugged = true; });
}

bool TSimBus::Unplug(const std::string& name) {
  return Configure(name, [](TSimDeviceConfig& c) { c.Plugged = false; });
}

bool TSimBus::Configure(const std::string& name,
                        const std::function<void(TSimDeviceConfig&)>& change) {
  std::lock_guard lock(Mutex);
  TBusFileLock fileLock(BusPath);
  SyncLocked();
  TBusDevice* device = FindLocked(name);
  if (!device) return false;
  TSimDeviceConfig config = device->Device->Config;
  change(config);
  config.Name = name;
  ApplyLocked(*device, config);
  WriteFileLocked();
  return true;
}

std::optional<TSimDeviceConfig> TSimBus::Config(const std::string& name) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  const TBusDevice* device = FindLocked(name);
  if (!device) return std::nullopt;
  return device->Device->Config;
}

std::vector<std::string> TSimBus::Names() {
  std::lock_guard lock(Mutex);
  SyncLocked();
  std::vector<std::string> names;
  for (const auto& device : Devices) names.push_back(device->Device->Config.Name);
  return names;
}

std::optional<std::vector<std::uint8_t>> TSimBus::Flash(const std::string& name) {
  std::lock_guard lock(Mutex);
  const TBusDevice* device = FindLocked(name);
  if (!device) return std::nullopt;
  return device->Device->Flash;
}

bool TSimBus::SetFlash(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(Mutex);
  TBusDevice* device = FindLocked(name);
  if (!device || bytes.size() != device->Device->Flash.size()) return false;
  device->Device->Flash = bytes;
  device->Device->FlashChanged = true;
  SaveFlashLocked(*device);
  return true;
}

std::uint32_t TSimBus::FramesReceived(const std::string& name, std::uint16_t code) {
  std::lock_guard lock(Mutex);
  const TBusDevice* device = FindLocked(name);
  if (!device) return 0;
  const auto found = device->Device->FramesByCode.find(code);
  return found == device->Device->FramesByCode.end() ? 0 : found->second;
}

std::uint32_t TSimBus::TextCommandsReceived(const std::string& name, const std::string& command) {
  std::lock_guard lock(Mutex);
  const TBusDevice* device = FindLocked(name);
  if (!device) return 0;
  const auto found = device->Device->TextCommands.find(command);
  return found == device->Device->TextCommands.end() ? 0 : found->second;
}

std::uint32_t TSimBus::BadFrames(const std::string& name) {
  std::lock_guard lock(Mutex);
  const TBusDevice* device = FindLocked(name);
  return device ? device->Device->BadFrames : 0;
}

bool TSimBus::IsOpen(const std::string& name) {
  std::lock_guard lock(Mutex);
  const TBusDevice* device = FindLocked(name);
  return device && device->Session != 0;
}

std::uint32_t TSimBus::Calls(const std::string& entryPoint) {
  std::lock_guard lock(Mutex);
  const auto found = CallCounts.find(entryPoint);
  return found == CallCounts.end() ? 0 : found->second;
}

// ---- Device state ---------------------------------------------------------------------

void TSimBus::ApplyLocked(TBusDevice& device, TSimDeviceConfig config) {
  TSimDevice& sim = *device.Device;
  const bool wasPlugged = sim.Config.Plugged;
  if (!wasPlugged && config.Plugged && config.BootOnNextPlug) {
    // The application started the boot loader; after the reconnect it is what runs.
    config.Plugged = false;
    PlugIn(config);
    FileNeedsWrite = true;
  }
  sim.Configure(config);
  if (wasPlugged && !config.Plugged) UnplugLocked(device);
}

void TSimBus::UnplugLocked(TBusDevice& device) {
  device.Device->Config.Plugged = false;
  if (TSession* session = SessionLocked(device.Session)) session->Dead = true;
  device.Session = 0;
  SaveFlashLocked(device);
  Changed.notify_all();
}

void TSimBus::SaveFlashLocked(TBusDevice& device) {
  if (BusPath.empty() || !device.Device->FlashChanged) return;
  const std::vector<std::uint8_t>& flash = device.Device->Flash;
  const std::string_view bytes(reinterpret_cast<const char*>(flash.data()), flash.size());
  if (WriteFileAtomically(FlashFilePath(BusPath, device.Device->Config.Name), bytes))
    device.Device->FlashChanged = false;
}

// ---- Bus file -------------------------------------------------------------------------

void TSimBus::SyncLocked() {
  if (BusPath.empty()) return;
  const std::string signature = FileVersionSignature(BusPath);
  if (signature.empty() || signature == FileSignature) return;
  const std::optional<std::string> text = ReadWholeFile(BusPath);
  if (!text) return;
  FileSignature = signature;
  TakeFileTextLocked(*text);
}

// Writes the bus's own changes (a device that dropped off, a mode change), taking in
// whatever another process wrote meanwhile first.
void TSimBus::FlushLocked() {
  if (FileNeedsWrite && !BusPath.empty()) {
    TBusFileLock fileLock(BusPath);
    SyncLocked();
    WriteFileLocked();
  }
  FileNeedsWrite = false;
}

// Only devices whose line changed since the bus last read or wrote the file take the
// file's values: counted faults the bus has used up meanwhile are not wound back for a
// device nobody touched.
void TSimBus::TakeFileTextLocked(const std::string& text) {
  std::vector<std::string> errors;
  const std::vector<TSimDeviceConfig> configs = ParseBusText(text, &errors);
  for (const std::string& error : errors)
    std::fprintf(stderr, "vlsim: %s: %s\n", BusPath.c_str(), error.c_str());
  std::vector<std::unique_ptr<TBusDevice>> ordered;
  for (const TSimDeviceConfig& config : configs) {
    const std::string line = FormatDeviceLine(config);
    auto found = std::find_if(Devices.begin(), Devices.end(), [&](const auto& d) {
      return d && d->Device->Config.Name == config.Name;
    });
    std::unique_ptr<TBusDevice> device;
    if (found == Devices.end()) {
      device = std::make_unique<TBusDevice>();
      device->Device = std::make_shared<TSimDevice>(config);
      // A device keeps its flash between runs of the program, like a real one.
      const auto saved = ReadWholeFile(FlashFilePath(BusPath, config.Name));
      if (saved && saved->size() == device->Device->Flash.size())
        device->Device->Flash.assign(saved->begin(), saved->end());
      device->Device->FlashChanged = false;
    } else {
      device = std::move(*found);
      if (device->FileLine != line) ApplyLocked(*device, config);
    }
    device->FileLine = line;
    ordered.push_back(std::move(device));
  }
  for (auto& gone : Devices)
    if (gone) UnplugLocked(*gone);
  Devices = std::move(ordered);
}

// Callers hold the file lock.
void TSimBus::WriteFileLocked() {
  if (BusPath.empty()) return;
  std::vector<TSimDeviceConfig> configs;
  for (const auto& device : Devices) configs.push_back(device->Device->Config);
  if (!WriteFileAtomically(BusPath, FormatBusText(configs))) {
    std::fprintf(stderr, "vlsim: cannot write %s\n", BusPath.c_str());
    return;
  }
  FileSignature = FileVersionSignature(BusPath);
  for (const auto& device : Devices) device->FileLine = FormatDeviceLine(device->Device->Config);
  FileNeedsWrite = false;
}

// ---- Driver side ----------------------------------------------------------------------

void TSimBus::CountCall(const char* entryPoint) {
  std::lock_guard lock(Mutex);
  ++CallCounts[entryPoint];
}

bool TSimBus::List(TSimAdapter adapter, std::vector<TSimListing>& devices) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  devices.clear();
  bool error = false;
  for (auto& device : Devices) {
    TSimDeviceConfig& config = device->Device->Config;
    if (config.Plugged && config.Adapter == adapter && ConsumeFault(config.ListingErrors))
      error = true;
  }
  FlushLocked();
  if (error) return false;
  for (auto& device : Devices) {
    TSimDeviceConfig& config = device->Device->Config;
    if (!config.Plugged || config.Adapter != adapter) continue;
    const bool empty = adapter == saFtdi && ConsumeFault(config.EmptyDescriptionListings);
    devices.push_back({config.Serial, empty ? std::string() : config.Description, config.DeviceCode});
  }
  return true;
}

std::vector<TSimListing> TSimBus::Peek(TSimAdapter adapter) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  std::vector<TSimListing> devices;
  for (const auto& device : Devices) {
    const TSimDeviceConfig& config = device->Device->Config;
    if (config.Plugged && config.Adapter == adapter)
      devices.push_back({config.Serial, config.Description, config.DeviceCode});
  }
  return devices;
}

TSimOpenResult TSimBus::Open(TSimAdapter adapter,
                             const std::function<bool(const TSimDeviceConfig&)>& match,
                             std::uint32_t& session) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  FlushLocked();
  session = 0;
  for (auto& device : Devices) {
    const TSimDeviceConfig& config = device->Device->Config;
    if (!config.Plugged || config.Adapter != adapter || !match(config)) continue;
    // A second open of an open device is refused, as by the real drivers.
    if (config.RefuseOpen || device->Session != 0) return soRefused;
    session = NextSession++;
    if (NextSession == 0) NextSession = 1;
    TSession& opened = Sessions[session];
    opened.Device = device->Device;
    opened.Adapter = adapter;
    opened.ReadTimeoutMs = adapter == saQn ? 500 : 0;
    opened.LatencyMs = adapter == saFtdi ? config.LatencyMs : 0;
    opened.OpenedMs = NowMs();
    device->Session = session;
    device->Device->StartSession();
    return soOpened;
  }
  return soNotFound;
}

bool TSimBus::Close(std::uint32_t session) {
  std::lock_guard lock(Mutex);
  if (!Sessions.erase(session)) return false;
  for (auto& device : Devices) {
    if (device->Session != session) continue;
    device->Session = 0;
    SaveFlashLocked(*device);
  }
  Changed.notify_all();
  return true;
}

bool TSimBus::Write(std::uint32_t id, const std::uint8_t* data, std::uint32_t length) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  TSession* session = SessionLocked(id);
  if (!session || session->Dead) return false;
  const std::uint64_t now = NowMs();
  const TSimReply reply = session->Device->Receive(data, length, now);
  // The device answers one command after the other: a reply starts no earlier than the
  // previous one has gone out.
  const std::uint64_t base = std::max(now, session->BusyUntilMs);
  for (const TSimBurst& burst : reply.Bursts) {
    const std::uint64_t due = base + burst.DelayMs;
    std::uint64_t shows = due;
    if (session->LatencyMs > 0) {
      // The adapter hands received bytes to the host on the ticks of its latency timer.
      const std::uint64_t ticks = (due - session->OpenedMs + session->LatencyMs - 1) / session->LatencyMs;
      shows = session->OpenedMs + ticks * session->LatencyMs;
    }
    for (std::uint8_t byte : burst.Bytes) session->Pending.emplace_back(shows, byte);
    session->BusyUntilMs = std::max(session->BusyUntilMs, due);
  }
  for (auto& device : Devices) {
    if (device->Device != session->Device) continue;
    if (reply.Unplug) {
      UnplugLocked(*device);
      FileNeedsWrite = true;
    }
    if (device->Device->ConfigChanged) {
      device->Device->ConfigChanged = false;
      FileNeedsWrite = true;
    }
  }
  FlushLocked();
  Changed.notify_all();
  return true;
}

std::uint32_t TSimBus::VisibleLocked(const TSession& session, std::uint64_t nowMs) const {
  std::uint32_t count = 0;
  for (const auto& [shows, byte] : session.Pending) {
    if (shows > nowMs) break;
    ++count;
  }
  return count;
}

std::optional<std::uint32_t> TSimBus::Waiting(std::uint32_t id) {
  std::lock_guard lock(Mutex);
  SyncLocked();
  const TSession* session = SessionLocked(id);
  if (!session || session->Dead) return std::nullopt;
  return VisibleLocked(*session, NowMs());
}

std::optional<std::uint32_t> TSimBus::Read(std::uint32_t id, std::uint8_t* buffer,
                                           std::uint32_t length) {
  std::unique_lock lock(Mutex);
  SyncLocked();
  TSession* session = SessionLocked(id);
  if (!session) return std::nullopt;
  using TClock = std::chrono::steady_clock;
  const bool timed = session->ReadTimeoutMs != 0;
  const TClock::time_point deadline =
      TClock::now() + std::chrono::milliseconds(session->ReadTimeoutMs);
  for (;;) {
    session = SessionLocked(id);
    if (!session || session->Dead) return std::nullopt;
    const std::uint32_t visible = VisibleLocked(*session, NowMs());
    if (visible >= length || (timed && TClock::now() >= deadline)) break;
    // Wake for the next byte to surface, the time-out, or any change of the bus.
    std::optional<TClock::time_point> wakeAt;
    if (timed) wakeAt = deadline;
    if (visible < session->Pending.size()) {
      const TClock::time_point next = TimeOf(session->Pending[visible].first);
      wakeAt = wakeAt ? std::min(*wakeAt, next) : next;
    }
    if (wakeAt)
      Changed.wait_until(lock, *wakeAt);
    else
      Changed.wait(lock);
  }
  const std::uint32_t count = std::min(VisibleLocked(*session, NowMs()), length);
  for (std::uint32_t i = 0; i < count; ++i) {
    buffer[i] = session->Pending.front().second;
    session->Pending.pop_front();
  }
  return count;
}

bool TSimBus::SetTimeouts(std::uint32_t id, std::uint32_t readMs, std::uint32_t /*writeMs*/) {
  std::lock_guard lock(Mutex);
  TSession* session = SessionLocked(id);
  if (!session || session->Dead) return false;
  session->ReadTimeoutMs = readMs;
  return true;
}

bool TSimBus::SetLatency(std::uint32_t id, std::uint32_t ms) {
  std::lock_guard lock(Mutex);
  TSession* session = SessionLocked(id);
  if (!session || session->Dead) return false;
  session->LatencyMs = ms;
  return true;
}

bool TSimBus::Purge(std::uint32_t id) {
  std::lock_guard lock(Mutex);
  TSession* session = SessionLocked(id);
  if (!session || session->Dead) return false;
  session->Pending.clear();
  return true;
}

std::optional<TSimListing> TSimBus::Describe(std::uint32_t id) {
  std::lock_guard lock(Mutex);
  const TSession* session = SessionLocked(id);
  if (!session || session->Dead) return std::nullopt;
  const TSimDeviceConfig& config = session->Device->Config;
  return TSimListing{config.Serial, config.Description, config.DeviceCode};
}
