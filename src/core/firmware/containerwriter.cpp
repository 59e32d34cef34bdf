#include "firmware/containerwriter.h"

#include "firmware/imagecontainer.h"
#include "protocol/frame.h"
#include "protocol/littleendian.h"

std::vector<std::uint8_t> WriteImageContainer(std::string_view versionText,
                                              std::optional<std::string_view> buildDate,
                                              const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out;
  out.reserve(image::kVersionTextOffset + versionText.size() +
              (buildDate ? 2 + buildDate->size() : 0) + payload.size());
  AppendLE32(out, buildDate ? image::kBuildDateFlag : 0);  // the size goes in at the end
  AppendLE16(out, 0);                                       // so does the checksum
  AppendLE16(out, static_cast<std::uint16_t>(versionText.size()));
  out.insert(out.end(), versionText.begin(), versionText.end());
  if (buildDate) {
    AppendLE16(out, static_cast<std::uint16_t>(buildDate->size()));
    out.insert(out.end(), buildDate->begin(), buildDate->end());
  }
  out.insert(out.end(), payload.begin(), payload.end());
  SetContainerSizeAndChecksum(out);
  return out;
}

void SetContainerChecksum(std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < image::kVersionTextOffset) return;
  bytes[image::kChecksumOffset] = bytes[image::kChecksumOffset + 1] = 0;
  const std::uint16_t checksum = FrameChecksum(bytes.data(), bytes.size());
  bytes[image::kChecksumOffset] = static_cast<std::uint8_t>(checksum);
  bytes[image::kChecksumOffset + 1] = static_cast<std::uint8_t>(checksum >> 8);
}

void SetContainerSizeAndChecksum(std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < image::kVersionTextOffset) return;
  const std::uint32_t flag = ReadLE32(bytes.data()) & image::kBuildDateFlag;
  const auto word = static_cast<std::uint32_t>(bytes.size()) | flag;
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word >> (8 * i));
  SetContainerChecksum(bytes);
}
