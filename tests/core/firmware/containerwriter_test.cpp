#include "firmware/containerwriter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "firmware/imagecontainer.h"
#include "protocol/littleendian.h"
#include "support/recordinglog.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TBytes Text(const std::string& text) { return TBytes(text.begin(), text.end()); }

bool Parses(const TBytes& bytes) {
  TFirmwareVersion version;
  TFirmwareBlockList blocks;
  TRecordingLog log;
  return ParseImage(bytes.data(), bytes.size(), version, blocks, log);
}

}  // namespace

// The bytes are written out here by hand, checksums worked out apart from the code, so a
// change of layout shows even where the reader would change along with it.
TEST(ContainerWriter, LaysOutHeaderTextsAndPayload) {
  const struct {
    const char* name;
    TBytes written;
    TBytes expected;
  } cases[] = {
      {"with a build date",
       WriteImageContainer("VLQN-2.3", "1.2.2003 4:05:06", {0xAA, 0xBB, 0xCC}),
       Concat({{0x25, 0x00, 0x00, 0x80},  // 37 bytes, the date flag
               {0x3C, 0xD1},
               {0x08, 0x00}, Text("VLQN-2.3"),
               {0x10, 0x00}, Text("1.2.2003 4:05:06"),
               {0xAA, 0xBB, 0xCC}})},
      {"without", WriteImageContainer("ZEPH-9.1", std::nullopt, {0x01, 0x02}),
       Concat({{0x12, 0x00, 0x00, 0x00},  // 18 bytes, no flag
               {0x20, 0xFA},
               {0x08, 0x00}, Text("ZEPH-9.1"),
               {0x01, 0x02}})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.written, c.expected) << c.name;
    EXPECT_TRUE(Parses(c.written)) << c.name;
  }
}

TEST(ContainerWriter, SizeAndChecksumFollowTheBytesAndKeepTheDateFlag) {
  for (const bool dated : {true, false}) {
    const std::optional<std::string_view> date =
        dated ? std::optional<std::string_view>("1.2.2003 4:05:06") : std::nullopt;
    TBytes bytes = WriteImageContainer("VLQN-2.3", date, {1, 2, 3});
    bytes.push_back(4);  // one payload byte more, the header not yet told
    ASSERT_FALSE(Parses(bytes)) << dated;
    SetContainerSizeAndChecksum(bytes);
    EXPECT_EQ(ReadLE32(bytes.data()),
              static_cast<std::uint32_t>(bytes.size()) | (dated ? image::kBuildDateFlag : 0u))
        << dated;
    EXPECT_TRUE(Parses(bytes)) << dated;
    bytes.back() = 5;
    ASSERT_FALSE(Parses(bytes)) << dated;
    SetContainerChecksum(bytes);
    EXPECT_TRUE(Parses(bytes)) << dated;
  }
}

// The fuzz targets repair whatever bytes they are given: a field the bytes cannot hold is
// left out, nothing is written past their end.
TEST(ContainerWriter, BytesShorterThanTheHeaderGetTheFieldsThatFit) {
  for (std::size_t n = 0; n < 8; ++n) {
    TBytes bytes(n, 0xEE);
    SetContainerSizeAndChecksum(bytes);
    ASSERT_EQ(bytes.size(), n);
    TBytes expected(n, 0xEE);
    // The size word keeps the flag bit the filler set.
    if (n >= 4)
      expected = Concat({{static_cast<std::uint8_t>(n), 0x00, 0x00, 0x80}, TBytes(n - 4, 0xEE)});
    if (n >= 6) {
      // The checksum over the first n bytes, its own field taken as 0.
      std::uint32_t sum = 0x8000 | n;
      if (n == 7) sum += 0xEE;
      expected[4] = static_cast<std::uint8_t>(sum);
      expected[5] = static_cast<std::uint8_t>(sum >> 8);
    }
    EXPECT_EQ(bytes, expected) << n;
  }
}
