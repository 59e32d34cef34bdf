#pragma once
// The simulated USB bus: every simulated device of the process, the open sessions of the
// two stand-in driver libraries, and the link to the bus file that lets another process
// (vlsimctl) plug, unplug and break devices while the program runs.
//
// One bus per process (Instance); it lives in libvlsimbus.so so that both stand-in
// libraries and a test that links the bus see the same devices. All calls are
// thread-safe. With the environment variable VL_SIM_BUS set, the bus attaches to that
// file at first use: it takes in the file's changes on every driver call and rewrites the
// file (atomically) whenever the set of plugged devices or a device's mode changes.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/simdeviceconfig.h"

class TSimDevice;

// VL_SIM_EXPORT marks what the bus library offers its users, VL_STANDIN_EXPORT the
// driver names of the stand-in libraries. On Windows a DLL that marks nothing exports
// everything (the bus), and one that marks names exports only those (the stand-ins).
#if defined(_WIN32)
#define VL_SIM_EXPORT
#define VL_STANDIN_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define VL_SIM_EXPORT __attribute__((visibility("default")))
#define VL_STANDIN_EXPORT VL_SIM_EXPORT
#else
#define VL_SIM_EXPORT
#define VL_STANDIN_EXPORT
#endif

// What a listing shows of one device.
struct TSimListing {
  std::string Serial;
  std::string Description;  // FTDI only
  std::uint16_t DeviceCode = 0;
};

enum TSimOpenResult { soOpened, soNotFound, soRefused };

class VL_SIM_EXPORT TSimBus {
public:
  static TSimBus& Instance();

  // Control, for tests and through the bus file for vlsimctl.

  // Attaches to a bus file ("" detaches): takes in its devices when it exists, otherwise
  // writes the bus's devices to it.
  void AttachFile(const std::string& path);
  std::string FilePath();
  void Clear();  // removes every device and forgets every count
  // Adds a device, or reconfigures the one of the same name. False for a bad name.
  bool Add(const TSimDeviceConfig& config);
  bool Remove(const std::string& name);
  // Plugging a device that was told to start its boot loader brings it up in boot mode.
  bool Plug(const std::string& name);
  // Open sessions to the device fail from now on, as with a cable pulled.
  bool Unplug(const std::string& name);
  bool Configure(const std::string& name, const std::function<void(TSimDeviceConfig&)>& change);
  std::optional<TSimDeviceConfig> Config(const std::string& name);
  std::vector<std::string> Names();
  std::optional<std::vector<std::uint8_t>> Flash(const std::string& name);
  bool SetFlash(const std::string& name, const std::vector<std::uint8_t>& bytes);
  std::uint32_t FramesReceived(const std::string& name, std::uint16_t code);
  std::uint32_t TextCommandsReceived(const std::string& name, const std::string& command);
  std::uint32_t BadFrames(const std::string& name);
  bool IsOpen(const std::string& name);
  // Calls of a driver entry point (e.g. "FT_SetBaudRate") since the last Clear.
  std::uint32_t Calls(const std::string& entryPoint);

  // Driver side, for the stand-in libraries. Session ids are never 0.

  void CountCall(const char* entryPoint);
  // False when a device of that kind has a listing error switched on.
  bool List(TSimAdapter adapter, std::vector<TSimListing>& devices);
  // The plugged devices of a kind, without using up any listing fault.
  std::vector<TSimListing> Peek(TSimAdapter adapter);
  TSimOpenResult Open(TSimAdapter adapter, const std::function<bool(const TSimDeviceConfig&)>& match,
                      std::uint32_t& session);
  bool Close(std::uint32_t session);
  // The device gets the bytes at once; false when the session is gone or unplugged.
  bool Write(std::uint32_t session, const std::uint8_t* data, std::uint32_t length);
  // Bytes the host can read now; nothing when the session is gone or unplugged.
  std::optional<std::uint32_t> Waiting(std::uint32_t session);
  // Waits until length bytes can be read or the session's read time-out has passed
  // (0: no time-out), then takes what there is, at most length.
  std::optional<std::uint32_t> Read(std::uint32_t session, std::uint8_t* buffer, std::uint32_t length);
  bool SetTimeouts(std::uint32_t session, std::uint32_t readMs, std::uint32_t writeMs);
  bool SetLatency(std::uint32_t session, std::uint32_t ms);
  bool Purge(std::uint32_t session);  // drops what the host has not read yet
  std::optional<TSimListing> Describe(std::uint32_t session);

private:
  struct TBusDevice;
  struct TSession;

  TSimBus();
  TBusDevice* FindLocked(const std::string& name);
  TSession* SessionLocked(std::uint32_t session);
  std::uint32_t VisibleLocked(const TSession& session, std::uint64_t nowMs) const;
  void ApplyLocked(TBusDevice& device, TSimDeviceConfig config);
  void UnplugLocked(TBusDevice& device);
  void SaveFlashLocked(TBusDevice& device);
  void SyncLocked();
  void FlushLocked();
  void WriteFileLocked();
  void TakeFileTextLocked(const std::string& text);

  std::mutex Mutex;
  std::condition_variable Changed;
  std::vector<std::unique_ptr<TBusDevice>> Devices;  // listing order
  std::map<std::uint32_t, TSession> Sessions;
  std::uint32_t NextSession = 1;
  std::map<std::string, std::uint32_t> CallCounts;
  std::string BusPath;
  std::string FileSignature;  // what the file looked like when last read or written
  bool FileNeedsWrite = false;
};
