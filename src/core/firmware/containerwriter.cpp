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
  if (bytes.size() < image::kChecksumOffset + 2) return;  // no checksum field to set
  WriteLE16(bytes.data() + image::kChecksumOffset, 0);
  WriteLE16(bytes.data() + image::kChecksumOffset, FrameChecksum(bytes.data(), bytes.size()));
}

void SetContainerSizeAndChecksum(std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < image::kChecksumOffset) return;  // no size word to set
  const std::uint32_t flag = ReadLE32(bytes.data()) & image::kBuildDateFlag;
  WriteLE32(bytes.data(), static_cast<std::uint32_t>(bytes.size()) | flag);
  SetContainerChecksum(bytes);
}
