#include "firmware/imageload.h"

#include <filesystem>
#include <string_view>

#include "firmware/exclusivefile_p.h"
#include "firmware/imagecontainer.h"

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
  const std::u8string utf8(text.begin(), text.end());
  return std::filesystem::path(utf8);
}

// A directory is no image file, as the system's own "file exists" test sees it.
bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

}  // namespace

bool ReadImageFile(const std::string& path, TFirmwareBlockList& blocks,
                   TFirmwareVersion& version, TLogSink& log) {
  const std::filesystem::path file = PathFromUtf8(path);
  if (!FileExists(file)) {
    log.LogMessage(llError, 0, "Загрузка прошивки: Файл %s не найден", path.c_str());
    return false;
  }
  // The size word holds 31 bits, so a larger file can never be a container; refusing it
  // here spares reading gigabytes into memory.
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (!error && size > image::kSizeMask) {
    log.LogMessage(llError, 0, "Не верный размер файла прошивки");
    return false;
  }
  const auto bytes = ReadFileExclusive(file);
  if (!bytes) return false;
  return ParseImage(bytes->data(), bytes->size(), version, blocks, log);
}

bool ReadBuiltInImage(const std::optional<std::vector<std::uint8_t>>& bytes,
                      TFirmwareBlockList& blocks, TFirmwareVersion& version, TLogSink& log) {
  if (!bytes || bytes->empty()) return false;
  return ParseImage(bytes->data(), bytes->size(), version, blocks, log);
}

TImageLoadResult LoadImage(const TImageSource& source, TFirmwareBlockList& blocks,
                           TFirmwareVersion& version, TLogSink& log) {
  TImageLoadResult result;
  FreeBlocks(blocks);
  try {
    if (source.ExternalFirmware) {
      result.Success = ReadImageFile(source.FilePath, blocks, version, log);
    } else {
      const auto bytes = source.ReadBuiltIn ? source.ReadBuiltIn() : std::nullopt;
      result.Success = ReadBuiltInImage(bytes, blocks, version, log);
      result.BuiltInLoaded = result.Success;
    }
  } catch (const TBlockSizeError& error) {
    FreeBlocks(blocks);
    result.BlockSizeError = error.what();
    return result;
  }
  if (!result.Success) {
    FreeBlocks(blocks);
    log.LogMessage(llError, 0, "Ошибка загрузки прошивки");
    return result;
  }
  const std::string from =
      source.ExternalFirmware ? "файла \"" + source.FilePath + "\"" : std::string("ресурсов");
  log.LogMessage(llInfo, 0, "Загружена прошивка из %s", from.c_str());
  log.LogMessage(llInfo, 0, "Версия прошивки \"%s\"", version.VersionText().c_str());
  log.LogMessage(llInfo, 0, "Дата компиляции \"%s\"", version.BuildDateText().c_str());
  return result;
}
