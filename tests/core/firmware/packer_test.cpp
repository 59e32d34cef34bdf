#include "packer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "containerbytes.h"
#include "firmware/imagecontainer.h"
#include "support/recordinglog.h"

TEST(Packer, RoundTripsThroughTheParser) {
  const auto payload = GenerateCodePayload(3, 1);
  for (const auto& date : {std::optional<std::string>("1.2.2003 4:05:06"),
                           std::optional<std::string>()}) {
    const TPackResult packed = PackImage("MIRA-3.4 rc", date, payload);
    ASSERT_TRUE(packed.Error.empty()) << packed.Error;
    EXPECT_EQ(packed.Bytes, ContainerBytes("MIRA-3.4 rc", date, payload));
    TFirmwareVersion version;
    TFirmwareBlockList blocks;
    TRecordingLog log;
    ASSERT_TRUE(ParseImage(packed.Bytes.data(), packed.Bytes.size(), version, blocks, log));
    EXPECT_TRUE(log.Entries.empty());
    EXPECT_EQ(version.VersionText(), "MIRA-3.4rc");
    EXPECT_EQ(version.BuildDateText(), date ? "01-02-2003 04:05:06" : "неизвестна");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0]->Data, payload);
  }
}

TEST(Packer, RefusesWhatTheLoaderWouldRefuseOrMisread) {
  const std::vector<std::uint8_t> payload(16, 1);
  const struct {
    std::string version;
    std::optional<std::string> date;
    std::size_t payloadSize;
    const char* errorPart;
  } cases[] = {
      {"VLQN", std::nullopt, 16, "version text \"VLQN\" does not parse"},
      {"-2.3", std::nullopt, 16, "does not parse"},
      {"VLQN-x", std::nullopt, 16, "does not parse"},
      {std::string("VLQN-2.3\0", 9), std::nullopt, 16, "does not parse"},
      {"VLQN-2.3", "31.02.2012 10:00:00", 16, "build date \"31.02.2012 10:00:00\" is not a valid"},
      {"VLQN-2.3", "29.12.2012", 16, "is not a valid date"},
      {"VLQN-2.3", "", 16, "is not a valid date"},
      {"VLQN-2.3", std::nullopt, TFirmwareBlock::kMaxSize + 1, "exceeds the block limit"},
  };
  for (const auto& c : cases) {
    const TPackResult packed = PackImage(c.version, c.date, std::vector<std::uint8_t>(c.payloadSize));
    EXPECT_TRUE(packed.Bytes.empty()) << c.errorPart;
    EXPECT_NE(packed.Error.find(c.errorPart), std::string::npos) << packed.Error;
  }
}

TEST(Packer, GeneratedPayloadIsDeterministicAndLooksLikeCode) {
  const auto a = GenerateCodePayload(432, kDefaultPayloadSeed);
  ASSERT_EQ(a.size(), 432u * 512);
  EXPECT_EQ(a, GenerateCodePayload(432, kDefaultPayloadSeed));
  EXPECT_NE(a, GenerateCodePayload(432, kDefaultPayloadSeed + 1));
  // A Cortex-M vector table: stack pointer in RAM, then Thumb (odd) entry points.
  EXPECT_EQ(a[3], 0x20);
  EXPECT_EQ(a[4] & 1, 1);
  // Every 512-byte part holds something other than erased flash, and many byte values.
  for (std::size_t part = 0; part < 432; ++part) {
    const auto begin = a.begin() + static_cast<std::ptrdiff_t>(part * 512);
    EXPECT_FALSE(std::all_of(begin, begin + 512, [](std::uint8_t b) { return b == 0xFF; }));
  }
  EXPECT_GT(std::set<std::uint8_t>(a.begin(), a.end()).size(), 200u);
  // Function epilogues are there: POP {..., pc} as little-endian halfwords.
  int pops = 0;
  for (std::size_t i = 0; i + 1 < a.size(); i += 2)
    pops += a[i + 1] == 0xBD && (a[i] == 0xF0 || a[i] == 0x10);
  EXPECT_GT(pops, 100);
  // A fixed fingerprint (FNV-1a): the bytes must not change between builds or compilers.
  std::uint32_t hash = 0x811C9DC5;
  for (const std::uint8_t b : a) hash = (hash ^ b) * 0x01000193u;
  EXPECT_EQ(hash, 0x820EFE3Eu);
}
