#include "fakedriver.h"

#include <algorithm>
#include <cstring>

namespace {

TFakeLibs* Current = nullptr;

TFakeLibs& L() { return *Current; }

void Log(const std::string& event) { L().Events.push_back(event); }

void MoveDueBursts() {
  auto& incoming = L().Incoming;
  for (auto it = incoming.begin(); it != incoming.end();) {
    if (it->At <= L().Now) {
      L().Waiting.insert(L().Waiting.end(), it->Bytes.begin(), it->Bytes.end());
      it = incoming.erase(it);
    } else {
      ++it;
    }
  }
}

std::uint32_t Now() { return L().Now; }

void Sleep(std::uint32_t ms) {
  L().Now += ms;
  Log("sleep " + std::to_string(ms));
}

std::uint32_t NextWrite(std::uint32_t length, std::uint32_t& count) {
  const std::size_t index = static_cast<std::size_t>(
      std::count_if(L().Events.begin(), L().Events.end(),
                    [](const std::string& e) { return e.starts_with("write "); }) - 1);
  const std::uint32_t status = index < L().WriteStatuses.size() ? L().WriteStatuses[index] : 0;
  count = index < L().WriteCounts.size() ? static_cast<std::uint32_t>(L().WriteCounts[index]) : length;
  return status;
}

// FTDI.
FT_STATUS VL_FTAPI OpenEx(void* arg, FT_DWORD flags, FT_HANDLE* handle) {
  L().OpenedSerial = static_cast<const char*>(arg);
  Log("FT_OpenEx " + L().OpenedSerial + " " + std::to_string(flags));
  *handle = reinterpret_cast<FT_HANDLE>(L().OpenHandle);
  return L().OpenStatus;
}
FT_STATUS VL_FTAPI SetTimeouts(FT_HANDLE handle, FT_ULONG read, FT_ULONG write) {
  Log("FT_SetTimeouts " + std::to_string(reinterpret_cast<std::uintptr_t>(handle)) + " " +
      std::to_string(read) + " " + std::to_string(write));
  return 0;
}
FT_STATUS VL_FTAPI ResetDevice(FT_HANDLE) { return Log("FT_ResetDevice"), 0; }
FT_STATUS VL_FTAPI Close(FT_HANDLE) { return Log("FT_Close"), 0; }
FT_STATUS VL_FTAPI Write(FT_HANDLE, void*, FT_DWORD length, FT_DWORD* written) {
  Log("write " + std::to_string(length));
  std::uint32_t count = 0;
  const std::uint32_t status = NextWrite(length, count);
  *written = count;
  return status;
}
FT_STATUS VL_FTAPI GetStatus(FT_HANDLE, FT_DWORD* rx, FT_DWORD* tx, FT_DWORD* events) {
  MoveDueBursts();
  Log("status");
  *rx = static_cast<FT_DWORD>(L().Waiting.size());
  *tx = *events = 0;
  return L().StatusResult;
}
FT_STATUS VL_FTAPI Read(FT_HANDLE, void* buffer, FT_DWORD toRead, FT_DWORD* returned) {
  Log("read " + std::to_string(toRead));
  const std::uint32_t count = std::min<std::uint32_t>(toRead, static_cast<std::uint32_t>(L().Waiting.size()));
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (std::uint32_t i = 0; i < count; ++i) {
    out[i] = L().Waiting.front();
    L().Waiting.pop_front();
  }
  *returned = L().ReadCountOverride >= 0 ? static_cast<FT_DWORD>(L().ReadCountOverride) : count;
  return L().ReadResult;
}
FT_STATUS VL_FTAPI CreateDeviceInfoList(FT_DWORD* count) {
  Log("FT_CreateDeviceInfoList");
  const auto& listings = L().FtdiListings;
  const std::size_t tries = static_cast<std::size_t>(
      std::count(L().Events.begin(), L().Events.end(), "FT_CreateDeviceInfoList"));
  *count = listings.empty() ? 0
                            : static_cast<FT_DWORD>(listings[std::min(tries, listings.size()) - 1].size());
  return L().CreateStatus;
}
FT_STATUS VL_FTAPI GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* nodes, FT_DWORD* count) {
  Log("FT_GetDeviceInfoList " + std::to_string(*count));
  const std::size_t tries = static_cast<std::size_t>(
      std::count(L().Events.begin(), L().Events.end(), "FT_CreateDeviceInfoList"));
  const auto& listing = L().FtdiListings[std::min(tries, L().FtdiListings.size()) - 1];
  const std::size_t filled = std::min<std::size_t>(*count, listing.size());
  for (std::size_t i = 0; i < filled; ++i) {
    // Copies whole fields, so a test can leave a text without its terminating zero.
    std::memset(nodes[i].SerialNumber, 0, sizeof nodes[i].SerialNumber);
    std::memset(nodes[i].Description, 0, sizeof nodes[i].Description);
    std::memcpy(nodes[i].SerialNumber, listing[i].Serial.data(),
                std::min(listing[i].Serial.size(), sizeof nodes[i].SerialNumber));
    std::memcpy(nodes[i].Description, listing[i].Description.data(),
                std::min(listing[i].Description.size(), sizeof nodes[i].Description));
  }
  *count = L().FilledOverride >= 0 ? static_cast<FT_DWORD>(L().FilledOverride) : static_cast<FT_DWORD>(filled);
  return L().GetListStatus;
}

// QN.
QN_STATUS VL_QNAPI QnOpen(std::uint16_t code, const char* serial, QN_HANDLE* handle) {
  L().OpenedSerial = serial;
  Log("QN_OpenDevice " + std::to_string(code) + " " + serial);
  *handle = static_cast<QN_HANDLE>(L().OpenHandle);
  return L().OpenStatus;
}
QN_STATUS VL_QNAPI QnSetTimeouts(QN_HANDLE handle, std::uint32_t read, std::uint32_t write) {
  Log("QN_SetTimeouts " + std::to_string(handle) + " " + std::to_string(read) + " " +
      std::to_string(write));
  return 0;
}
QN_STATUS VL_QNAPI QnClose(QN_HANDLE* handle) {
  L().QnCloseAddress = handle;
  Log("QN_CloseDevice " + std::to_string(*handle));
  return 0;
}
QN_STATUS VL_QNAPI QnWrite(QN_HANDLE, const void*, std::uint32_t length, std::uint32_t* written) {
  Log("write " + std::to_string(length));
  return NextWrite(length, *written);
}
QN_STATUS VL_QNAPI QnRead(QN_HANDLE, void* buffer, std::uint32_t length, std::uint32_t* count) {
  Log("QN_Read " + std::to_string(length) + " count " + std::to_string(*count));
  const std::size_t n = std::min<std::size_t>(length, L().QnReply.size());
  std::memcpy(buffer, L().QnReply.data(), n);
  *count = L().ReadCountOverride >= 0 ? static_cast<std::uint32_t>(L().ReadCountOverride)
                                      : static_cast<std::uint32_t>(n);
  return L().ReadResult;
}
QN_STATUS VL_QNAPI QnList(std::uint16_t filter, void* records, std::uint32_t* count) {
  Log("QN_GetListDevices " + std::to_string(filter) + (records ? " buffer " : " null ") +
      std::to_string(*count));
  if (!records) {
    *count = L().QnAnnounced;
    return L().QnListStatus[0];
  }
  const std::size_t filled = std::min<std::size_t>(*count, L().QnRecords.size());
  auto* out = static_cast<std::uint8_t*>(records);
  for (std::size_t i = 0; i < filled; ++i) {
    std::uint8_t* record = out + i * qnrecord::kSize;
    record[0] = 0xEE;
    record[1] = 0xEE;
    record[2] = static_cast<std::uint8_t>(L().QnRecords[i].DeviceCode);
    record[3] = static_cast<std::uint8_t>(L().QnRecords[i].DeviceCode >> 8);
    std::memset(record + 4, 0, qnrecord::kSerialSize);
    std::memcpy(record + 4, L().QnRecords[i].Serial.data(),
                std::min(L().QnRecords[i].Serial.size(), qnrecord::kSerialSize));
  }
  *count = L().FilledOverride >= 0 ? static_cast<std::uint32_t>(L().FilledOverride)
                                   : static_cast<std::uint32_t>(filled);
  return L().QnListStatus[1];
}

// Names the link layer must never call: baud rate, divisor, latency, purge and the like.
template <class F>
struct TForbidden;
template <class... TArgs>
struct TForbidden<std::uint32_t(VL_FTAPI*)(TArgs...)> {
  static std::uint32_t VL_FTAPI Call(TArgs...) { return Log("forbidden call"), 0; }
};

template <class F>
F ForbiddenAs() {
  return &TForbidden<F>::Call;
}

}  // namespace

TFakeScope::TFakeScope(bool ftdiLoaded, bool qnLoaded)
    : Owned(std::make_unique<TFakeLibs>()),
      Libs(*Owned),
      SavedFtdi(FtdiDriver()), SavedQn(QnDriver()), SavedTime(LinkTime()) {
  SavedCurrent = Current;
  Current = &Libs;
  TFtdiDriver ftdi;
  ftdi.Library = ftdiLoaded ? reinterpret_cast<void*>(&Libs) : nullptr;
  TFtdiApi& f = ftdi.Api;
  f.OpenEx = &OpenEx;
  f.SetTimeouts = &SetTimeouts;
  f.ResetDevice = &ResetDevice;
  f.Close = &Close;
  f.Write = &Write;
  f.GetStatus = &GetStatus;
  f.Read = &Read;
  f.CreateDeviceInfoList = &CreateDeviceInfoList;
  f.GetDeviceInfoList = &GetDeviceInfoList;
  f.ListDevices = ForbiddenAs<TFT_ListDevices>();
  f.Open = ForbiddenAs<TFT_Open>();
  f.Purge = ForbiddenAs<TFT_Purge>();
  f.SetDivisor = ForbiddenAs<TFT_SetDivisor>();
  f.SetBaudRate = ForbiddenAs<TFT_SetBaudRate>();
  f.GetDeviceInfo = ForbiddenAs<TFT_GetDeviceInfo>();
  f.GetQueueStatus = ForbiddenAs<TFT_GetQueueStatus>();
  f.SetRts = ForbiddenAs<TFT_SetRts>();
  f.SetDataCharacteristics = ForbiddenAs<TFT_SetDataCharacteristics>();
  f.SetFlowControl = ForbiddenAs<TFT_SetFlowControl>();
  f.SetLatencyTimer = ForbiddenAs<TFT_SetLatencyTimer>();
  f.Rescan = ForbiddenAs<TFT_Rescan>();
  FtdiDriver() = ftdi;

  TQnDriver qn;
  qn.Library = qnLoaded ? reinterpret_cast<void*>(&Libs) : nullptr;
  qn.Api.GetListDevices = &QnList;
  qn.Api.OpenDevice = &QnOpen;
  qn.Api.CloseDevice = &QnClose;
  qn.Api.Read = &QnRead;
  qn.Api.Write = &QnWrite;
  qn.Api.Purge = ForbiddenAs<TQN_Purge>();
  qn.Api.SetTimeouts = &QnSetTimeouts;
  QnDriver() = qn;

  LinkTime() = TLinkTime{&Now, &Sleep};
}

TFakeScope::~TFakeScope() {
  FtdiDriver() = SavedFtdi;
  QnDriver() = SavedQn;
  LinkTime() = SavedTime;
  Current = SavedCurrent;
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}
