#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/frame.h"

namespace {

// A reply as a device might send it: header fields, then the payload bytes.
std::vector<std::uint8_t> Reply(std::uint16_t frameLength, std::uint16_t headerLength,
                                std::uint16_t code, const std::string& payload = {},
                                std::uint16_t parameter = 10, std::uint32_t address = 0) {
  std::vector<std::uint8_t> bytes(14 + payload.size());
  const auto put = [&](std::size_t offset, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put(0, frameLength, 2);
  put(2, headerLength, 2);
  put(4, code, 2);
  put(6, parameter, 2);
  put(8, address, 4);
  put(12, 0xEEEE, 2);  // a checksum nobody verifies
  std::copy(payload.begin(), payload.end(), bytes.begin() + 14);
  return bytes;
}

TIdentityReply Check(const std::vector<std::uint8_t>& bytes) {
  return CheckIdentityReply(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace

TEST(IdentityReply, AcceptanceConditions) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool accepted;
  } cases[] = {
      {"version text", Reply(23, 14, 128, std::string("VLQN-2.3b")), true},
      {"frame length below what came", Reply(15, 14, 128, std::string("VLQN-2.3b")), true},
      {"frame length beyond what came", Reply(600, 14, 128, std::string("VLQN")), true},
      {"wrong checksum is not looked at", Reply(18, 14, 128, std::string("abcd")), true},
      {"bare 14-byte reply", Reply(14, 14, 128), false},
      {"header length equals frame length", Reply(14, 14, 128, std::string("VLQN")), false},
      {"header length 16", Reply(24, 16, 128, std::string("xxVLQN-2.3")), false},
      {"locked", Reply(23, 14, 138, std::string("VLQN-2.3b")), false},
      {"frame length below header", Reply(10, 14, 128, std::string("VLQN")), false},
  };
  for (const auto& c : cases) {
    const TIdentityReply r = Check(c.bytes);
    EXPECT_EQ(r.Accepted, c.accepted) << c.what;
    if (c.accepted) {
      EXPECT_EQ(r.PayloadOffset, 14u) << c.what;
    }
  }
}

TEST(IdentityReply, ThirteenBytesAreRefusedWhateverTheyHold) {
  auto bytes = Reply(23, 14, 128, std::string("VLQN-2.3b"));
  EXPECT_FALSE(CheckIdentityReply(bytes.data(), 13).Accepted);
  EXPECT_FALSE(CheckIdentityReply(bytes.data(), 0).Accepted);
}

TEST(IdentityReply, TextPayloadEndsAtZeroOrAtTheLastByteReceived) {
  const auto withZero = Reply(30, 14, 128, std::string("VLQN-2.3b\0garbage", 17));
  EXPECT_EQ(IdentityReplyText(withZero.data(), 31, Check(withZero)), "VLQN-2.3b");

  // No zero byte: the text stops at what was received, not at what the buffer holds.
  auto buffer = Reply(23, 14, 128, std::string("VLQN-2.3bXYZ"));
  const auto count = static_cast<std::uint32_t>(buffer.size() - 3);
  const TIdentityReply r = CheckIdentityReply(buffer.data(), count);
  EXPECT_EQ(IdentityReplyText(buffer.data(), count, r), "VLQN-2.3b");

  const auto empty = Reply(15, 14, 128, std::string("\0", 1));
  EXPECT_EQ(IdentityReplyText(empty.data(), 15, Check(empty)), "");
  EXPECT_EQ(IdentityReplyText(empty.data(), 14, TIdentityReply{}), "");
}

TEST(IdentityReply, NumberPayloadIsLittleEndianAndMissingBytesReadAsZero) {
  const auto full = Reply(18, 14, 128, std::string("\x37\x3F\x01\x26", 4));
  EXPECT_EQ(IdentityReplyNumber(full.data(), 18, Check(full)), 0x26013F37u);
  // Two payload bytes received: the rest of the zeroed buffer is not read.
  auto partial = full;
  partial[16] = partial[17] = 0xAA;
  const TIdentityReply r = CheckIdentityReply(partial.data(), 16);
  ASSERT_TRUE(r.Accepted);
  EXPECT_EQ(IdentityReplyNumber(partial.data(), 16, r), 0x3F37u);
}

TEST(SectorReply, ShapeChecks) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool isWrite;
    bool accepted;
  } cases[] = {
      {"erase done", Reply(14, 14, 128, {}, 12, 0x10000), false, true},
      {"erase: address not compared", Reply(14, 14, 128, {}, 12, 0x999), false, true},
      {"erase: code left to the caller", Reply(14, 14, 131, {}, 12, 0), false, true},
      {"write done", Reply(14, 14, 128, {}, 12, 0x10200), true, true},
      {"write: other address", Reply(14, 14, 128, {}, 12, 0x10000), true, false},
      {"other sector", Reply(14, 14, 128, {}, 13, 0x10200), true, false},
      {"frame length 15", Reply(15, 14, 128, {}, 12, 0x10200), true, false},
      {"header length 12", Reply(14, 12, 128, {}, 12, 0x10200), true, false},
      {"15 bytes received", Reply(14, 14, 128, std::string("x"), 12, 0x10200), true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckSectorReply(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()), 12,
                               0x10200, c.isWrite),
              c.accepted)
        << c.what;
  const auto good = Reply(14, 14, 128, {}, 12, 0x10200);
  EXPECT_FALSE(CheckSectorReply(good.data(), 13, 12, 0x10200, true));
}
