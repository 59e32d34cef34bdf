#pragma once
// Our own declaration of the FTDI D2XX driver interface: only the types and the 21 entry
// points the loader looks up. The library is loaded at run time; nothing links it.
// Private to link/ (and to the stand-in library of the simulator, which implements it).
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define VL_FTAPI __stdcall
#else
#define VL_FTAPI
#endif

extern "C" {

// D2XX's DWORD and ULONG are 32 bits on every platform it ships for.
using FT_DWORD = std::uint32_t;
using FT_ULONG = std::uint32_t;
using FT_STATUS = FT_ULONG;
using FT_HANDLE = void*;
using FT_DEVICE = FT_ULONG;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_OTHER_ERROR = 18;

constexpr FT_DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr FT_DWORD FT_OPEN_BY_DESCRIPTION = 2;
constexpr FT_DWORD FT_LIST_NUMBER_ONLY = 0x80000000u;

constexpr std::size_t FT_SERIAL_NUMBER_SIZE = 16;
constexpr std::size_t FT_DESCRIPTION_SIZE = 64;

struct FT_DEVICE_LIST_INFO_NODE {
  FT_ULONG Flags;
  FT_ULONG Type;
  FT_ULONG ID;
  FT_DWORD LocId;
  char SerialNumber[FT_SERIAL_NUMBER_SIZE];
  char Description[FT_DESCRIPTION_SIZE];
  FT_HANDLE ftHandle;
};

using TFT_ListDevices = FT_STATUS(VL_FTAPI*)(void* arg1, void* arg2, FT_DWORD flags);
using TFT_Open = FT_STATUS(VL_FTAPI*)(int deviceNumber, FT_HANDLE* handle);
using TFT_Close = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle);
using TFT_ResetDevice = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle);
using TFT_Purge = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_ULONG mask);
using TFT_Read = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, void* buffer, FT_DWORD bytesToRead,
                                      FT_DWORD* bytesReturned);
using TFT_Write = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, void* buffer, FT_DWORD bytesToWrite,
                                       FT_DWORD* bytesWritten);
using TFT_SetDivisor = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, std::uint16_t divisor);
using TFT_SetTimeouts = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_ULONG readTimeout,
                                             FT_ULONG writeTimeout);
using TFT_SetBaudRate = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_ULONG baudRate);
using TFT_GetDeviceInfo = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_DEVICE* device,
                                               FT_DWORD* id, char* serialNumber,
                                               char* description, void* dummy);
using TFT_GetStatus = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_DWORD* rxBytes,
                                           FT_DWORD* txBytes, FT_DWORD* eventStatus);
using TFT_GetQueueStatus = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, FT_DWORD* rxBytes);
using TFT_SetRts = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle);
using TFT_SetDataCharacteristics = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle,
                                                        std::uint8_t wordLength,
                                                        std::uint8_t stopBits,
                                                        std::uint8_t parity);
using TFT_SetFlowControl = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, std::uint16_t flowControl,
                                                std::uint8_t xonChar, std::uint8_t xoffChar);
using TFT_SetLatencyTimer = FT_STATUS(VL_FTAPI*)(FT_HANDLE handle, std::uint8_t latency);
using TFT_CreateDeviceInfoList = FT_STATUS(VL_FTAPI*)(FT_DWORD* numDevs);
using TFT_GetDeviceInfoList = FT_STATUS(VL_FTAPI*)(FT_DEVICE_LIST_INFO_NODE* list,
                                                   FT_DWORD* numDevs);
using TFT_OpenEx = FT_STATUS(VL_FTAPI*)(void* arg1, FT_DWORD flags, FT_HANDLE* handle);
using TFT_Rescan = FT_STATUS(VL_FTAPI*)();

}  // extern "C"

// Enumeration reads the two texts by these offsets; the array passed to the library is
// sized by the declared node (100 bytes in a 32-bit build, more where pointers are wider).
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, SerialNumber) == 16);
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, Description) == 32);
static_assert(sizeof(void*) != 4 || sizeof(FT_DEVICE_LIST_INFO_NODE) == 100);

// The entry-point table, in lookup order.
struct TFtdiApi {
  TFT_ListDevices ListDevices = nullptr;
  TFT_Open Open = nullptr;
  TFT_Close Close = nullptr;
  TFT_ResetDevice ResetDevice = nullptr;
  TFT_Purge Purge = nullptr;
  TFT_Read Read = nullptr;
  TFT_Write Write = nullptr;
  TFT_SetDivisor SetDivisor = nullptr;
  TFT_SetTimeouts SetTimeouts = nullptr;
  TFT_SetBaudRate SetBaudRate = nullptr;
  TFT_GetDeviceInfo GetDeviceInfo = nullptr;
  TFT_GetStatus GetStatus = nullptr;
  TFT_GetQueueStatus GetQueueStatus = nullptr;
  TFT_SetRts SetRts = nullptr;
  TFT_SetDataCharacteristics SetDataCharacteristics = nullptr;
  TFT_SetFlowControl SetFlowControl = nullptr;
  TFT_SetLatencyTimer SetLatencyTimer = nullptr;
  TFT_CreateDeviceInfoList CreateDeviceInfoList = nullptr;
  TFT_GetDeviceInfoList GetDeviceInfoList = nullptr;
  TFT_OpenEx OpenEx = nullptr;
  TFT_Rescan Rescan = nullptr;
};
