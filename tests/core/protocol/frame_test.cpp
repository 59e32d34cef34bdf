#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::uint16_t Sum(const std::vector<std::uint8_t>& bytes) {
  return FrameChecksum(bytes.data(), bytes.size());
}
std::uint16_t Sum(const std::string& text) {
  return FrameChecksum(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
}  // namespace

TEST(FrameChecksum, ReferenceValues) {
  EXPECT_EQ(Sum(std::string("123456789")), 0xD509);
  EXPECT_EQ(Sum(std::string("abc")), 0x62C4);
  EXPECT_EQ(Sum(std::string("a")), 0x0061);
  EXPECT_EQ(Sum(std::string("")), 0x0000);
  EXPECT_EQ(Sum(std::vector<std::uint8_t>{0xFF, 0xFF, 0x01, 0x00}), 0x0001);
  EXPECT_EQ(Sum(std::vector<std::uint8_t>{0xFF, 0xFF}), 0xFFFF);
  EXPECT_EQ(Sum(std::vector<std::uint8_t>{0x00, 0x80, 0x00, 0x80}), 0x0001);
}

TEST(FrameChecksum, CountIsTakenModulo65536) {
  std::vector<std::uint8_t> bytes(65536 + 3, 0x5A);
  bytes[0] = 1;
  bytes[1] = 2;
  bytes[2] = 3;
  EXPECT_EQ(Sum(bytes), FrameChecksum(bytes.data(), 3));
  EXPECT_EQ(FrameChecksum(bytes.data(), 65536), 0);
}

TEST(BuildCommandFrame, IdentityFramesMatchReferenceBytes) {
  const std::vector<std::uint8_t> frame4 = {0x0E, 0x00, 0x0E, 0x00, 0x04, 0x00, 0x0A,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x00};
  EXPECT_EQ(BuildCommandFrame(frame::cmdReadFirmwareVersion, 10, 0), frame4);
  auto frame5 = frame4;
  frame5[4] = 0x05;
  frame5[12] = 0x2B;
  EXPECT_EQ(BuildCommandFrame(frame::cmdReadLoaderVersion, 10, 0), frame5);
  auto frame10 = frame4;
  frame10[4] = 0x0A;
  frame10[12] = 0x30;
  EXPECT_EQ(BuildCommandFrame(frame::cmdReadProcessorId, 10, 0), frame10);
}

TEST(BuildCommandFrame, WriteFrameCarriesDataAndChecksumOverAll) {
  std::vector<std::uint8_t> data(512);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const auto bytes = BuildCommandFrame(frame::cmdWriteV2, 12, 0x12345678, data.data(), 512);
  ASSERT_EQ(bytes.size(), 526u);
  const frame::THeader h = frame::ReadHeader(bytes.data(), bytes.size());
  EXPECT_EQ(h.FrameLength, 526);
  EXPECT_EQ(h.HeaderLength, 14);
  EXPECT_EQ(h.Code, 7);
  EXPECT_EQ(h.Parameter, 12);
  EXPECT_EQ(h.Address, 0x12345678u);
  auto zeroed = bytes;
  zeroed[12] = zeroed[13] = 0;
  EXPECT_EQ(h.Checksum, Sum(zeroed));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + 14));
}
