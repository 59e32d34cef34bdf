#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Command and reply frames: a 14-byte little-endian header (frame length, header length,
// code, parameter, address, checksum) followed by optional data.
namespace frame {

constexpr std::uint16_t kHeaderLength = 14;
constexpr std::uint16_t kPartSize = 512;
constexpr std::uint16_t kWriteFrameLength = kHeaderLength + kPartSize;  // 526
constexpr std::uint16_t kNoSectorParameter = 10;

enum TCommandCode : std::uint16_t {
  cmdEraseV1 = 1,
  cmdWriteV1 = 2,
  cmdReadFirmwareVersion = 4,
  cmdReadLoaderVersion = 5,
  cmdEraseV2 = 6,
  cmdWriteV2 = 7,
  cmdReadProcessorId = 10,
  cmdCloseSuccess = 11,
  cmdCloseFailure = 12,
};

enum TReplyCode : std::uint16_t {
  rcDone = 128,
  rcProtected = 131,
  rcLocked = 138,
};

struct THeader {
  std::uint16_t FrameLength = 0;
  std::uint16_t HeaderLength = 0;
  std::uint16_t Code = 0;
  std::uint16_t Parameter = 0;
  std::uint32_t Address = 0;
  std::uint16_t Checksum = 0;
};

// Reads the header fields from the first 14 bytes; bytes beyond count read as 0.
THeader ReadHeader(const std::uint8_t* bytes, std::size_t count);

}  // namespace frame

// Ones'-complement sum of little-endian 16-bit words with end-around carry, not inverted.
// Only the first (count mod 65,536) bytes are summed: the image container relies on it.
std::uint16_t FrameChecksum(const std::uint8_t* bytes, std::size_t count);

// A complete frame with its checksum in place.
std::vector<std::uint8_t> BuildCommandFrame(std::uint16_t code, std::uint16_t parameter,
                                            std::uint32_t address,
                                            const std::uint8_t* data = nullptr,
                                            std::size_t dataLength = 0);

// Verdict on a reply to an identity command (4, 5 or 10). Only the header is judged: the
// checksum is not verified and the frame length need not match what was received.
struct TIdentityReply {
  bool Accepted = false;
  std::uint32_t PayloadOffset = 0;  // where the payload begins when accepted
};

// Accepts a reply of at least 14 bytes whose header length is 14, whose code is "done"
// and whose frame length announces at least one payload byte.
TIdentityReply CheckIdentityReply(const std::uint8_t* bytes, std::uint32_t count);

// The text payload of an accepted reply: its 8-bit bytes up to the first zero byte, and
// never past the bytes received.
std::string IdentityReplyText(const std::uint8_t* bytes, std::uint32_t count,
                              const TIdentityReply& reply);

// The 32-bit little-endian number payload of an accepted reply. Bytes the device did not
// send read as 0, as in the zeroed receive buffer.
std::uint32_t IdentityReplyNumber(const std::uint8_t* bytes, std::uint32_t count,
                                  const TIdentityReply& reply);

// Accepts a reply to an erase or write frame by its shape: exactly 14 bytes, frame and
// header length 14, the request's sector and, for a write frame, the request's address.
// The reply code is left to the caller, which tells "done" from the device's refusals.
bool CheckSectorReply(const std::uint8_t* bytes, std::uint32_t count, std::uint16_t sector,
                      std::uint32_t address, bool isWriteFrame);
