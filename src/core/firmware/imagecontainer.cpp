#include "firmware/imagecontainer.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "protocol/datetime.h"
#include "protocol/frame.h"
#include "protocol/littleendian.h"
#include "protocol/scanformat.h"

namespace {

// Text up to its first zero byte, as the C library would see the copy ended with one.
std::string_view TextField(const std::uint8_t* bytes, std::size_t length) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), length);
  return text.substr(0, text.find('\0'));
}

// Only the first (count mod 65,536) bytes are covered, with the stored checksum as 0.
bool ChecksumMatches(const std::uint8_t* bytes, std::size_t count) {
  const std::uint16_t stored = ReadLE16(bytes + image::kChecksumOffset);
  std::vector<std::uint8_t> covered(bytes, bytes + count % 65536);
  for (std::size_t i = image::kChecksumOffset; i < image::kChecksumOffset + 2; ++i)
    if (i < covered.size()) covered[i] = 0;
  return FrameChecksum(covered.data(), covered.size()) == stored;
}

// Where the fields lie; false when the container ends before what its header announces.
struct TLayout {
  std::size_t VersionLength = 0;
  bool HasBuildDate = false;
  std::size_t BuildDateOffset = 0;
  std::size_t BuildDateLength = 0;
  std::size_t PayloadOffset = 0;
};

bool ReadLayout(const std::uint8_t* bytes, std::size_t count, TLayout& layout) {
  layout.VersionLength = ReadLE16(bytes + image::kVersionLengthOffset);
  std::size_t end = image::kVersionTextOffset + layout.VersionLength;
  if (end > count) return false;
  layout.HasBuildDate = (ReadLE32(bytes) & image::kBuildDateFlag) != 0;
  if (layout.HasBuildDate) {
    if (end + 2 > count) return false;
    layout.BuildDateLength = ReadLE16(bytes + end);
    layout.BuildDateOffset = end + 2;
    end = layout.BuildDateOffset + layout.BuildDateLength;
    if (end > count) return false;
  }
  layout.PayloadOffset = end;
  return true;
}

}  // namespace

bool ParseImage(const std::uint8_t* bytes, std::size_t count, TFirmwareVersion& version,
                TFirmwareBlockList& blocks, TLogSink& log) {
  if (count < image::kVersionTextOffset || (ReadLE32(bytes) & image::kSizeMask) != count) {
    log.LogMessage(llError, 0, "Не верный размер файла прошивки");
    return false;
  }
  if (!ChecksumMatches(bytes, count)) {
    log.LogMessage(llError, 0, "Ошибка контрольной суммы файла прошивки");
    return false;
  }
  // A container whose texts reach past its end announces more than its size holds.
  TLayout layout;
  if (!ReadLayout(bytes, count, layout)) {
    log.LogMessage(llError, 0, "Не верный размер файла прошивки");
    return false;
  }

  if (!version.Parse(TextField(bytes + image::kVersionTextOffset, layout.VersionLength)))
    return false;

  double buildDate = 0;
  if (layout.HasBuildDate &&
      !ReadBuildDate(TextField(bytes + layout.BuildDateOffset, layout.BuildDateLength),
                     buildDate)) {
    log.LogMessage(llError, 0, "Ошибка декодирования времени компиляции прошивки");
    buildDate = 0;
  }
  version.BuildDate = buildDate;

  const auto payloadSize = static_cast<std::int32_t>(count - layout.PayloadOffset);
  blocks.push_back(
      std::make_unique<TFirmwareBlock>(bytes + layout.PayloadOffset, payloadSize, -1));
  return true;
}

// Day, month, year, hour, minute, second; false unless all six make a valid moment.
bool ReadBuildDate(std::string_view text, double& date) {
  std::int32_t v[6] = {};
  if (ScanFormat(text, "%d.%d.%d %d:%d:%d", v, 6) < 6) return false;
  TDateTimeParts parts;
  parts.Day = v[0];
  parts.Month = v[1];
  parts.Year = v[2];
  parts.Hour = v[3];
  parts.Minute = v[4];
  parts.Second = v[5];
  parts.Millisecond = 0;
  return TryEncodeDateTime(parts, date);
}
