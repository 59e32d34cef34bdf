#include "protocol/frame.h"

#include "protocol/littleendian.h"

#include <algorithm>
#include <cstring>



frame::THeader frame::ReadHeader(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t header[kHeaderLength] = {};
  std::memcpy(header, bytes, count < kHeaderLength ? count : kHeaderLength);
  THeader h;
  h.FrameLength = ReadLE16(header);
  h.HeaderLength = ReadLE16(header + 2);
  h.Code = ReadLE16(header + 4);
  h.Parameter = ReadLE16(header + 6);
  h.Address = ReadLE32(header + 8);
  h.Checksum = ReadLE16(header + 12);
  return h;
}

std::uint16_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
  const std::size_t n = count % 65536;
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) {
    sum += static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8));
    if (sum > 0xFFFF) sum = (sum & 0xFFFF) + 1;
  }
  if (i < n) {
    sum += bytes[i];
    if (sum > 0xFFFF) sum = (sum & 0xFFFF) + 1;
  }
  return static_cast<std::uint16_t>(sum);
}

std::vector<std::uint8_t> BuildCommandFrame(std::uint16_t code, std::uint16_t parameter,
                                            std::uint32_t address, const std::uint8_t* data,
                                            std::size_t dataLength) {
  std::vector<std::uint8_t> bytes(frame::kHeaderLength + dataLength, 0);
  WriteLE16(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
  WriteLE16(bytes.data() + 2, frame::kHeaderLength);
  WriteLE16(bytes.data() + 4, code);
  WriteLE16(bytes.data() + 6, parameter);
  WriteLE32(bytes.data() + 8, address);
  if (dataLength > 0) std::memcpy(bytes.data() + frame::kHeaderLength, data, dataLength);
  WriteLE16(bytes.data() + 12, FrameChecksum(bytes.data(), bytes.size()));
  return bytes;
}

TIdentityReply CheckIdentityReply(const std::uint8_t* bytes, std::uint32_t count) {
  TIdentityReply reply;
  if (count < frame::kHeaderLength) return reply;
  const frame::THeader h = frame::ReadHeader(bytes, count);
  if (h.HeaderLength != frame::kHeaderLength) return reply;
  if (h.Code != frame::rcDone) return reply;
  if (h.HeaderLength >= h.FrameLength) return reply;
  reply.Accepted = true;
  reply.PayloadOffset = h.HeaderLength;
  return reply;
}

std::string IdentityReplyText(const std::uint8_t* bytes, std::uint32_t count,
                              const TIdentityReply& reply) {
  if (!reply.Accepted || reply.PayloadOffset >= count) return {};
  const auto* begin = bytes + reply.PayloadOffset;
  const auto* end = bytes + count;
  const auto* zero = std::find(begin, end, std::uint8_t{0});
  return std::string(begin, zero);
}

std::uint32_t IdentityReplyNumber(const std::uint8_t* bytes, std::uint32_t count,
                                  const TIdentityReply& reply) {
  if (!reply.Accepted) return 0;
  std::uint8_t number[4] = {};
  for (std::uint32_t i = 0; i < 4 && reply.PayloadOffset + i < count; ++i)
    number[i] = bytes[reply.PayloadOffset + i];
  return ReadLE32(number);
}

bool CheckSectorReply(const std::uint8_t* bytes, std::uint32_t count, std::uint16_t sector,
                      std::uint32_t address, bool isWriteFrame) {
  if (count != frame::kHeaderLength) return false;
  const frame::THeader h = frame::ReadHeader(bytes, count);
  return h.FrameLength == frame::kHeaderLength && h.HeaderLength == frame::kHeaderLength &&
         h.Parameter == sector && (!isWriteFrame || h.Address == address);
}
