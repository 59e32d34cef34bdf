// A library that exports the driver names, less the one named by OMIT_<name>: the
// loader must take it for missing. Only the names matter; nothing calls them.
#define VL_NAME(name) \
  extern "C" __attribute__((visibility("default"))) int name() { return 0; }

#ifndef OMIT_FT_ListDevices
VL_NAME(FT_ListDevices)
#endif
VL_NAME(FT_Open)
VL_NAME(FT_Close)
VL_NAME(FT_ResetDevice)
VL_NAME(FT_Purge)
VL_NAME(FT_Read)
VL_NAME(FT_Write)
VL_NAME(FT_SetDivisor)
VL_NAME(FT_SetTimeouts)
VL_NAME(FT_SetBaudRate)
VL_NAME(FT_GetDeviceInfo)
VL_NAME(FT_GetStatus)
VL_NAME(FT_GetQueueStatus)
VL_NAME(FT_SetRts)
VL_NAME(FT_SetDataCharacteristics)
VL_NAME(FT_SetFlowControl)
VL_NAME(FT_SetLatencyTimer)
VL_NAME(FT_CreateDeviceInfoList)
VL_NAME(FT_GetDeviceInfoList)
VL_NAME(FT_OpenEx)
#ifndef OMIT_FT_Rescan
VL_NAME(FT_Rescan)
#endif

VL_NAME(QN_GetListDevices)
VL_NAME(QN_OpenDevice)
VL_NAME(QN_CloseDevice)
VL_NAME(QN_Read)
VL_NAME(QN_Write)
#ifndef OMIT_QN_Purge
VL_NAME(QN_Purge)
#endif
VL_NAME(QN_SetTimeouts)
