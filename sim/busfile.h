#pragma once
// The bus file: a text file of simulated devices, one "device" line each, fields as
// key=value pairs (sim/README.md). The running program's bus and vlsimctl both read and
// write it; writers take the lock file beside it and replace the file by rename.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simdeviceconfig.h"

// Sets one field from its text; false (and config unchanged) for an unknown key or a
// value that does not fit it.
bool SetSimField(TSimDeviceConfig& config, std::string_view key, std::string_view value);

std::string FormatDeviceLine(const TSimDeviceConfig& config);
std::optional<TSimDeviceConfig> ParseDeviceLine(std::string_view line, std::string* error);

// Device lines of a bus file; comments, blank lines and bad lines are skipped (a bad
// line is reported in errors when given).
std::vector<TSimDeviceConfig> ParseBusText(std::string_view text,
                                           std::vector<std::string>* errors = nullptr);
std::string FormatBusText(const std::vector<TSimDeviceConfig>& devices);

// Whole-file helpers. WriteFileAtomically writes beside the target and renames, so a
// reader sees the old or the new file, never a part.
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, std::string_view content);

// Identifies one version of a file without reading it (a replaced file is another file,
// a rewritten one has another time or size); empty when the file is missing.
std::string FileVersionSignature(const std::string& path);

// The flash of a device is kept beside the bus file under this name.
std::string FlashFilePath(const std::string& busPath, const std::string& deviceName);

// An exclusive lock on "<bus file>.lock" for a read-modify-write of the bus file; no lock
// for an empty path. Not re-entrant: take it once per change.
class TBusFileLock {
public:
  explicit TBusFileLock(const std::string& busPath);
  ~TBusFileLock();
  TBusFileLock(const TBusFileLock&) = delete;
  TBusFileLock& operator=(const TBusFileLock&) = delete;

private:
  std::intptr_t Handle = -1;  // the open lock file; -1 for none
};
