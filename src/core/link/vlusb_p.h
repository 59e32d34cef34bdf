#pragma once
// Our own declaration of the maker's USB driver interface (the QN adapter's library):
// the 7 entry points the loader looks up and the 25-byte device record. Private to link/
// (and to the simulator's stand-in library, which implements it).
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define VL_QNAPI __stdcall
#else
#define VL_QNAPI
#endif

extern "C" {

using QN_STATUS = std::uint32_t;  // 0 is success
using QN_HANDLE = std::uint32_t;  // 0 is no device

using TQN_GetListDevices = QN_STATUS(VL_QNAPI*)(std::uint16_t filter, void* records,
                                                std::uint32_t* count);
using TQN_OpenDevice = QN_STATUS(VL_QNAPI*)(std::uint16_t deviceCode, const char* serial,
                                            QN_HANDLE* handle);
// Takes the address of the caller's handle variable, not the handle.
using TQN_CloseDevice = QN_STATUS(VL_QNAPI*)(QN_HANDLE* handle);
using TQN_Read = QN_STATUS(VL_QNAPI*)(QN_HANDLE handle, void* buffer, std::uint32_t length,
                                      std::uint32_t* count);
using TQN_Write = QN_STATUS(VL_QNAPI*)(QN_HANDLE handle, const void* data,
                                       std::uint32_t length, std::uint32_t* count);
using TQN_Purge = QN_STATUS(VL_QNAPI*)(QN_HANDLE handle);
using TQN_SetTimeouts = QN_STATUS(VL_QNAPI*)(QN_HANDLE handle, std::uint32_t readTimeout,
                                             std::uint32_t writeTimeout);

}  // extern "C"

// Listing filter that matches every device code.
constexpr std::uint16_t QN_ALL_DEVICES = 0xFFFF;

// One device record as QN_GetListDevices fills it: packed, little-endian, read by offset.
namespace qnrecord {
constexpr std::size_t kSize = 25;
constexpr std::size_t kDeviceCodeOffset = 2;
constexpr std::size_t kSerialOffset = 4;
constexpr std::size_t kSerialSize = 21;  // zero-terminated within the field
}  // namespace qnrecord

// The entry-point table, in lookup order.
struct TQnApi {
  TQN_GetListDevices GetListDevices = nullptr;
  TQN_OpenDevice OpenDevice = nullptr;
  TQN_CloseDevice CloseDevice = nullptr;
  TQN_Read Read = nullptr;
  TQN_Write Write = nullptr;
  TQN_Purge Purge = nullptr;
  TQN_SetTimeouts SetTimeouts = nullptr;
};
