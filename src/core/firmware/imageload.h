#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/firmwareblock.h"
#include "protocol/firmwareversion.h"
#include "protocol/logsink.h"

// Where Load image takes its image from. The window fills it from ExternalFirmware and
// its file box; a write's reload and the tests use the same.
struct TImageSource {
  bool ExternalFirmware = false;
  std::string FilePath;  // UTF-8, the file box's text
  // The built-in container's bytes; nullopt when the program carries none.
  std::function<std::optional<std::vector<std::uint8_t>>()> ReadBuiltIn;
};

struct TImageLoadResult {
  bool Success = false;
  // The outcome of a load of the built-in image that ran to its end; unset for a file
  // and when the block limit cut the load short. The window keeps it as BuiltInLoaded.
  std::optional<bool> BuiltInLoaded;
  // Set when the block limit ended the load: the text to show the user. Nothing of the
  // load's own report is logged then.
  std::string BlockSizeError;
};

// A loaded image, or a load that failed (then without blocks): what a write is handed.
struct TFirmwareImage {
  bool Loaded = false;
  TFirmwareBlockList Blocks;
  TFirmwareVersion Version;
};

// Main thread only (the log and the source are the window's). Empties blocks, loads the
// image from the chosen source into blocks and version, and logs the outcome: the source,
// version text and build-date text on success, "Ошибка загрузки прошивки" on failure.
// A failed load leaves blocks empty. The window sets its labels itself after a success.
TImageLoadResult LoadImage(const TImageSource& source, TFirmwareBlockList& blocks,
                           TFirmwareVersion& version, TLogSink& log);

// The two sources on their own. Both throw TBlockSizeError from the parse.
bool ReadImageFile(const std::string& path, TFirmwareBlockList& blocks,
                   TFirmwareVersion& version, TLogSink& log);
bool ReadBuiltInImage(const std::optional<std::vector<std::uint8_t>>& bytes,
                      TFirmwareBlockList& blocks, TFirmwareVersion& version, TLogSink& log);
