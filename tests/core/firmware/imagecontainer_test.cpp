#include "firmware/imagecontainer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "containerbytes.h"
#include "support/recordinglog.h"

namespace {

const std::string kSizeError = "Не верный размер файла прошивки";
const std::string kChecksumError = "Ошибка контрольной суммы файла прошивки";
const std::string kDateError = "Ошибка декодирования времени компиляции прошивки";

std::vector<std::uint8_t> Payload(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return bytes;
}

class ParseImageTest : public ::testing::Test {
protected:
  bool Parse(const std::vector<std::uint8_t>& bytes) {
    return ParseImage(bytes.data(), bytes.size(), Version, Blocks, Log);
  }
  TFirmwareVersion Version;
  TFirmwareBlockList Blocks;
  TRecordingLog Log;
};

}  // namespace

TEST_F(ParseImageTest, ContainerWithBuildDate) {
  const auto payload = Payload(1000);
  ASSERT_TRUE(Parse(ContainerBytes("VLQN-2.3b", "29.12.2012 11:05:35", payload)));
  EXPECT_TRUE(Log.Entries.empty());
  EXPECT_EQ(Version.FamilyCode, "VLQN");
  EXPECT_EQ(Version.VersionNumber, 203);
  EXPECT_EQ(Version.Suffix, "b");
  EXPECT_EQ(Version.BuildDateText(), "29-12-2012 11:05:35");
  ASSERT_EQ(Blocks.size(), 1u);
  EXPECT_EQ(Blocks[0]->Address, -1);
  EXPECT_EQ(Blocks[0]->Size, 1000);
  EXPECT_EQ(Blocks[0]->Data, payload);
}

TEST_F(ParseImageTest, WithoutTheFlagPayloadFollowsTheVersionAndDateIsCleared) {
  Version.BuildDate = 41272.5;  // left by an earlier image
  const auto payload = Payload(10);
  ASSERT_TRUE(Parse(ContainerBytes("ZEPH-9.1", std::nullopt, payload)));
  EXPECT_EQ(Version.BuildDate, 0);
  EXPECT_EQ(Version.BuildDateText(), "неизвестна");
  ASSERT_EQ(Blocks.size(), 1u);
  EXPECT_EQ(Blocks[0]->Data, payload);
}

TEST_F(ParseImageTest, ParseAppendsToTheList) {
  const auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(4));
  ASSERT_TRUE(Parse(bytes));
  ASSERT_TRUE(Parse(bytes));
  EXPECT_EQ(Blocks.size(), 2u);
}

// A container with one field broken is refused whole: the reason is logged (or, for a
// version text that does not parse, nothing is) and no block is added. A container
// refused before its version text leaves the earlier image's version as it was.
TEST_F(ParseImageTest, ABrokenFieldRefusesTheContainer) {
  using TBytes = std::vector<std::uint8_t>;
  const struct {
    const char* field;
    std::function<TBytes()> make;
    std::vector<std::string> logged;
    bool versionKept = true;
  } cases[] = {
      {"size word one above the byte count",
       [] {
         auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(100));
         bytes[0] += 1;
         FixChecksum(bytes);
         return bytes;
       },
       {kSizeError}},
      {"size word one below the byte count",
       [] {
         auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(100));
         bytes[0] -= 1;
         FixChecksum(bytes);
         return bytes;
       },
       {kSizeError}},
      {"a payload byte changed",
       [] {
         auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(100));
         bytes[50] ^= 0x01;
         return bytes;
       },
       {kChecksumError}},
      {"the checksum changed",
       [] {
         auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(100));
         bytes[4] ^= 0x01;
         return bytes;
       },
       {kChecksumError}},
      {"a version text that does not parse",
       [] { return ContainerBytes("VLQN", "29.12.2012 11:05:35", Payload(3)); },
       {},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    Log.Entries.clear();
    TFirmwareVersion version;
    ASSERT_TRUE(version.Parse("ZEPH-1.1"));  // an earlier image's
    const TBytes bytes = c.make();
    EXPECT_FALSE(ParseImage(bytes.data(), bytes.size(), version, Blocks, Log));
    EXPECT_EQ(Log.Texts(), c.logged);
    EXPECT_TRUE(Blocks.empty());
    if (c.versionKept) {
      EXPECT_EQ(version.VersionText(), "ZEPH-1.1");
    }
  }
}

TEST_F(ParseImageTest, ChecksumCoversOnlySizeModulo65536) {
  // 70,000 bytes are covered over their first 4,464 only.
  auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(70000 - 16));
  ASSERT_EQ(bytes.size(), 70000u);
  auto late = bytes;
  late[5000] ^= 0xFF;
  EXPECT_TRUE(Parse(late));
  auto early = bytes;
  early[4463] ^= 0xFF;
  EXPECT_FALSE(Parse(early));
  EXPECT_EQ(Log.Texts(), std::vector<std::string>{kChecksumError});
}

TEST_F(ParseImageTest, ContainerOf65536BytesPassesOnlyWithAZeroChecksum) {
  auto bytes = ContainerBytes("VLQN-2.3", std::nullopt, Payload(65536 - 16));
  ASSERT_EQ(bytes.size(), 65536u);
  EXPECT_EQ(bytes[4] | bytes[5], 0);
  EXPECT_TRUE(Parse(bytes));
  bytes[4] = 1;
  EXPECT_FALSE(Parse(bytes));
  EXPECT_EQ(Log.Texts(), std::vector<std::string>{kChecksumError});
}

TEST_F(ParseImageTest, UnreadableBuildDateIsLoggedAndTheLoadGoesOn) {
  const std::string dates[] = {"31.02.2012 10:00:00", "29.12.2012 11:05", "",
                               "29.12.2012 24:00:00", "00.01.2012 10:00:00",
                               std::string("29.12\0.2012 11:05:35", 20)};
  for (const auto& date : dates) {
    Log.Entries.clear();
    Version.BuildDate = 41272.5;  // an earlier image's date must not survive
    EXPECT_TRUE(Parse(ContainerBytes("VLQN-2.3", date, Payload(3)))) << date;
    EXPECT_EQ(Log.Texts(), std::vector<std::string>{kDateError}) << date;
    EXPECT_EQ(Log.Entries[0].Level, llError);
    EXPECT_EQ(Log.Entries[0].Serial, 0);
    EXPECT_EQ(Version.BuildDate, 0) << date;
    EXPECT_EQ(Blocks.back()->Data, Payload(3)) << "payload starts after the date text";
  }
}

TEST_F(ParseImageTest, VersionTextThatDoesNotParseFailsSilently) {
  EXPECT_FALSE(Parse(ContainerBytes("VLQN", "29.12.2012 11:05:35", Payload(3))));
  EXPECT_TRUE(Log.Entries.empty());
  EXPECT_TRUE(Blocks.empty());
}

TEST_F(ParseImageTest, VersionTextEndsAtAZeroByte) {
  ASSERT_TRUE(Parse(ContainerBytes(std::string("VLQN-2.3b\0zz", 12), std::nullopt, Payload(3))));
  EXPECT_EQ(Version.VersionText(), "VLQN-2.3b");
  EXPECT_EQ(Blocks[0]->Data, Payload(3));
}

// Each container ends before a field its header announces. The buffers are exactly as
// long as the container, so a read past the end shows under AddressSanitizer.
TEST_F(ParseImageTest, ContainerTooShortForWhatItAnnouncesIsRefused) {
  std::vector<std::vector<std::uint8_t>> cases;
  for (std::uint8_t n = 0; n < 8; ++n) {
    std::vector<std::uint8_t> tiny(n, 0);
    if (n >= 1) tiny[0] = n;  // size word agrees with the count where it fits
    if (n >= 6) FixChecksum(tiny);
    cases.push_back(tiny);
  }
  auto versionPastEnd = ContainerBytes("VLQN-2.3", std::nullopt, {});
  versionPastEnd[6] = 9;  // one byte more than there is
  cases.push_back(versionPastEnd);
  auto noDateLength = ContainerBytes("VLQN-2.3", std::nullopt, {});
  noDateLength[3] |= 0x80;  // flag set, but nothing follows the version text
  cases.push_back(noDateLength);
  auto halfDateLength = ContainerBytes("VLQN-2.3", std::nullopt, {0x05});
  halfDateLength[3] |= 0x80;
  cases.push_back(halfDateLength);
  auto datePastEnd = ContainerBytes("VLQN-2.3", "1.1.2000 0:0:0", {});
  datePastEnd[8 + 8] += 1;
  cases.push_back(datePastEnd);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    auto& bytes = cases[i];
    if (bytes.size() >= 8) FixChecksum(bytes);
    Log.Entries.clear();
    TFirmwareVersion fresh;
    auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    EXPECT_FALSE(ParseImage(exact.get(), bytes.size(), fresh, Blocks, Log)) << "case " << i;
    EXPECT_EQ(Log.Texts(), std::vector<std::string>{kSizeError}) << "case " << i;
    EXPECT_EQ(fresh.FamilyCode, "") << "case " << i;
  }
  EXPECT_TRUE(Blocks.empty());
}

TEST_F(ParseImageTest, PayloadAboveTheBlockLimitThrowsAndLeavesTheListAlone) {
  const auto atLimit = ContainerBytes("VLQN-2.3", std::nullopt, Payload(TFirmwareBlock::kMaxSize));
  ASSERT_TRUE(Parse(atLimit));
  ASSERT_EQ(Blocks.size(), 1u);
  const auto over = ContainerBytes("VLQN-2.3", std::nullopt, Payload(TFirmwareBlock::kMaxSize + 1));
  EXPECT_THROW(Parse(over), TBlockSizeError);
  EXPECT_EQ(Blocks.size(), 1u);
  EXPECT_TRUE(Log.Entries.empty());
}
