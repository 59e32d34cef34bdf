#include "fuzzentries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/containerwriter.h"
#include "firmware/firmwareblock.h"
#include "firmware/imagecontainer.h"
#include "protocol/firmwareversion.h"
#include "protocol/frame.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

class TNullLog : public TLogSink {
public:
  void LogText(TLogLevel, std::int32_t, const std::string&) override {}
};

// The input in a buffer of exactly its size, so that a read past the end shows.
std::unique_ptr<std::uint8_t[]> ExactCopy(const std::uint8_t* data, std::size_t size) {
  auto copy = std::make_unique<std::uint8_t[]>(size);
  if (size > 0) std::copy(data, data + size, copy.get());
  return copy;
}

}  // namespace

namespace {

void ParseAndCheck(const std::uint8_t* data, std::size_t size) {
  const auto bytes = ExactCopy(data, size);
  TFirmwareVersion version;
  TFirmwareBlockList blocks;
  TNullLog log;
  bool ok = false;
  try {
    ok = ParseImage(bytes.get(), size, version, blocks, log);
  } catch (const TBlockSizeError&) {
    Require(blocks.empty(), "an oversized block left something in the list");
    return;
  }
  Require(ok == !blocks.empty(), "success and a block go together");
  if (!ok) return;
  Require(blocks.size() == 1, "one block per image");
  const TFirmwareBlock& block = *blocks[0];
  Require(block.Address == -1, "the image block lies at the first writable sector");
  Require(block.Size >= 0 && static_cast<std::size_t>(block.Size) <= size &&
              block.Data.size() == static_cast<std::size_t>(block.Size),
          "the block holds the payload");
  Require(std::equal(block.Data.begin(), block.Data.end(), bytes.get() + (size - block.Data.size())),
          "the payload is the container's tail, unchanged");
  (void)version.VersionText();
  (void)version.BuildDateText();
}

// Most mutations break the size word or the checksum; a repaired copy lets them reach the
// version text, build date and payload behind those two gates.
std::vector<std::uint8_t> Repaired(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  SetContainerSizeAndChecksum(bytes);
  return bytes;
}

}  // namespace

void FuzzParseImage(const std::uint8_t* data, std::size_t size) {
  ParseAndCheck(data, size);
  const std::vector<std::uint8_t> repaired = Repaired(data, size);
  ParseAndCheck(repaired.data(), repaired.size());
}

void FuzzReplyChecks(const std::uint8_t* data, std::size_t size) {
  const auto bytes = ExactCopy(data, size);
  const auto count = static_cast<std::uint32_t>(size > 1024 ? 1024 : size);
  const TIdentityReply reply = CheckIdentityReply(bytes.get(), count);
  const std::string text = IdentityReplyText(bytes.get(), count, reply);
  (void)IdentityReplyNumber(bytes.get(), count, reply);
  if (reply.Accepted) {
    Require(count >= 14 && reply.PayloadOffset == 14, "an accepted reply has a full header");
    Require(text.size() <= count - 14, "the text stays within the bytes received");
    Require(text.find('\0') == std::string::npos, "the text ends at its first zero byte");
  } else {
    Require(text.empty(), "a refused reply yields no text");
  }
  const bool accepted = CheckSectorReply(bytes.get(), count, 12, 0x10200, true);
  Require(!accepted || count == 14, "a sector reply is exactly 14 bytes");
  Require(!accepted || CheckSectorReply(bytes.get(), count, 12, 0, false),
          "what passes for a write passes for an erase");
}

void FuzzVersionParse(const std::uint8_t* data, std::size_t size) {
  const auto bytes = ExactCopy(data, size);
  const std::string_view text(reinterpret_cast<const char*>(bytes.get()), size);
  TFirmwareVersion version;
  const bool ok = version.Parse(text);
  const std::string shown = version.VersionText();
  Require(!shown.empty(), "a version always has a display text");
  if (ok && version.FamilyCode != "unk" && version.VersionNumber != 0) {
    // What is shown parses back to the same number (suffix digits aside).
    TFirmwareVersion again;
    if (version.Suffix.empty())
      Require(again.Parse(shown) && again.VersionNumber == version.VersionNumber,
              "the display text parses back");
  }
  // A failed parse takes the family but keeps number and suffix.
  TFirmwareVersion held;
  held.VersionNumber = 203;
  held.Suffix = "b";
  if (!held.Parse(text))
    Require(held.VersionNumber == 203 && held.Suffix == "b", "a failed parse keeps the number");
}
