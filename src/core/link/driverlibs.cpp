#include "link/driverlibs.h"

#include "link/driverlibs_p.h"

namespace {

template <class TFunction>
bool Find(void* library, const char* name, TFunction& slot) {
  void* address = FindDriverSymbol(library, name);
  if (!address) return false;
  slot = reinterpret_cast<TFunction>(address);
  return true;
}

// A library missing one name counts as missing altogether, even for names the system
// never calls: a partial library is some other product or a broken installation.
void* KeepIfComplete(void* library, bool complete) {
  if (complete) return library;
  CloseDriverLibrary(library);
  return nullptr;
}

}  // namespace

TFtdiDriver& FtdiDriver() {
  static TFtdiDriver driver;
  return driver;
}

TQnDriver& QnDriver() {
  static TQnDriver driver;
  return driver;
}

void* ResolveFtdiDriver(const char* fileName, TFtdiApi& api) {
  void* library = OpenDriverLibrary(fileName);
  if (!library) return nullptr;
  const bool complete =
      Find(library, "FT_ListDevices", api.ListDevices) && Find(library, "FT_Open", api.Open) &&
      Find(library, "FT_Close", api.Close) &&
      Find(library, "FT_ResetDevice", api.ResetDevice) &&
      Find(library, "FT_Purge", api.Purge) && Find(library, "FT_Read", api.Read) &&
      Find(library, "FT_Write", api.Write) && Find(library, "FT_SetDivisor", api.SetDivisor) &&
      Find(library, "FT_SetTimeouts", api.SetTimeouts) &&
      Find(library, "FT_SetBaudRate", api.SetBaudRate) &&
      Find(library, "FT_GetDeviceInfo", api.GetDeviceInfo) &&
      Find(library, "FT_GetStatus", api.GetStatus) &&
      Find(library, "FT_GetQueueStatus", api.GetQueueStatus) &&
      Find(library, "FT_SetRts", api.SetRts) &&
      Find(library, "FT_SetDataCharacteristics", api.SetDataCharacteristics) &&
      Find(library, "FT_SetFlowControl", api.SetFlowControl) &&
      Find(library, "FT_SetLatencyTimer", api.SetLatencyTimer) &&
      Find(library, "FT_CreateDeviceInfoList", api.CreateDeviceInfoList) &&
      Find(library, "FT_GetDeviceInfoList", api.GetDeviceInfoList) &&
      Find(library, "FT_OpenEx", api.OpenEx) && Find(library, "FT_Rescan", api.Rescan);
  return KeepIfComplete(library, complete);
}

void* ResolveQnDriver(const char* fileName, TQnApi& api) {
  void* library = OpenDriverLibrary(fileName);
  if (!library) return nullptr;
  const bool complete = Find(library, "QN_GetListDevices", api.GetListDevices) &&
                        Find(library, "QN_OpenDevice", api.OpenDevice) &&
                        Find(library, "QN_CloseDevice", api.CloseDevice) &&
                        Find(library, "QN_Read", api.Read) &&
                        Find(library, "QN_Write", api.Write) &&
                        Find(library, "QN_Purge", api.Purge) &&
                        Find(library, "QN_SetTimeouts", api.SetTimeouts);
  return KeepIfComplete(library, complete);
}

void* LoadFtdiDriver() {
  TFtdiDriver& driver = FtdiDriver();
  if (driver.Library) return driver.Library;
  TFtdiApi api;
  if (void* library = ResolveFtdiDriver(kFtdiLibraryName, api)) {
    driver.Api = api;
    driver.Library = library;
  }
  return driver.Library;
}

void* LoadQnDriver() {
  TQnDriver& driver = QnDriver();
  if (driver.Library) return driver.Library;
  TQnApi api;
  if (void* library = ResolveQnDriver(kQnLibraryName, api)) {
    driver.Api = api;
    driver.Library = library;
  }
  return driver.Library;
}

bool FtdiDriverLoaded() { return FtdiDriver().Library != nullptr; }
bool QnDriverLoaded() { return QnDriver().Library != nullptr; }

TLoadedDrivers LoadDriverLibraries() {
  TLoadedDrivers loaded;
  loaded.Ftdi = LoadFtdiDriver() != nullptr;
  loaded.Qn = LoadQnDriver() != nullptr;
  return loaded;
}
