#include "packer.h"

#include "firmware/containerwriter.h"
#include "firmware/firmwareblock.h"
#include "firmware/imagecontainer.h"
#include "protocol/firmwareversion.h"
#include "protocol/littleendian.h"

namespace {

TPackResult Refuse(std::string error) {
  TPackResult result;
  result.Error = std::move(error);
  return result;
}

}  // namespace

TPackResult PackImage(std::string_view versionText, const std::optional<std::string>& buildDate,
                      const std::vector<std::uint8_t>& payload) {
  TFirmwareVersion version;
  if (versionText.size() > 0xFFFF || versionText.find('\0') != std::string_view::npos ||
      !version.Parse(versionText))
    return Refuse("version text \"" + std::string(versionText) +
                  "\" does not parse (expected family-major.minor[suffix], e.g. VLQN-2.3b)");
  double date = 0;  // the loader reads the date with the same pattern and validity test
  if (buildDate && (buildDate->size() > 0xFFFF || !ReadBuildDate(*buildDate, date)))
    return Refuse("build date \"" + *buildDate +
                  "\" is not a valid date and time (expected dd.mm.yyyy hh:mm:ss)");
  if (payload.size() > TFirmwareBlock::kMaxSize)
    return Refuse("payload of " + std::to_string(payload.size()) +
                  " bytes exceeds the block limit of " +
                  std::to_string(TFirmwareBlock::kMaxSize) + " bytes");

  TPackResult result;
  result.Bytes = WriteImageContainer(versionText, buildDate ? std::optional<std::string_view>(*buildDate)
                                                            : std::nullopt,
                                     payload);
  return result;
}

namespace {

// xorshift32: fixed-width arithmetic only, so the bytes do not depend on the library.
class TRandom {
public:
  explicit TRandom(std::uint32_t seed) : State(seed ? seed : 1) {}
  std::uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

private:
  std::uint32_t State;
};

constexpr std::uint32_t kCodeBase = 0x00004000;  // where such an image would be linked

std::uint16_t RandomInstruction(TRandom& rnd) {
  const auto r = [&](std::uint32_t bits) { return static_cast<std::uint16_t>(rnd.Below(1u << bits)); };
  switch (rnd.Below(14)) {
    case 0: return 0x2000 | r(3) << 8 | r(8);                       // MOVS Rd, #imm8
    case 1: return 0x2800 | r(3) << 8 | r(8);                       // CMP Rn, #imm8
    case 2: return 0x3000 | r(3) << 8 | r(8);                       // ADDS Rd, #imm8
    case 3: return 0x3800 | r(3) << 8 | r(4);                       // SUBS Rd, #imm8
    case 4: return 0x4800 | r(3) << 8 | r(4);                       // LDR Rt, [PC, #imm]
    case 5: return 0x6800 | r(3) << 6 | r(3) << 3 | r(3);           // LDR Rt, [Rn, #imm]
    case 6: return 0x6000 | r(3) << 6 | r(3) << 3 | r(3);           // STR Rt, [Rn, #imm]
    case 7: return 0x7800 | r(4) << 6 | r(3) << 3 | r(3);           // LDRB Rt, [Rn, #imm]
    case 8: return 0x1800 | r(3) << 6 | r(3) << 3 | r(3);           // ADDS Rd, Rn, Rm
    case 9: return 0x0000 | (1 + r(4)) << 6 | r(3) << 3 | r(3);     // LSLS Rd, Rm, #imm
    case 10: return 0xD000 | rnd.Below(14) << 8 | r(5);             // B<cond> forward
    case 11: return 0x4000 | r(4) << 6 | r(3) << 3 | r(3);          // data-processing ALU op
    case 12: return 0x4600 | r(3) << 3 | r(3);                      // MOV Rd, Rm
    default: return 0x0800 | (1 + r(4)) << 6 | r(3) << 3 | r(3);    // LSRS Rd, Rm, #imm
  }
}

void PutHalf(std::vector<std::uint8_t>& out, std::uint16_t v) { AppendLE16(out, v); }

// A routine: prologue, a body with the odd call, epilogue, then its literal pool.
void AppendFunction(std::vector<std::uint8_t>& out, TRandom& rnd) {
  const bool big = rnd.Below(3) == 0;
  PutHalf(out, big ? 0xB5F0 : 0xB510);  // PUSH {r4-r7, lr} or PUSH {r4, lr}
  const std::uint32_t length = 6 + rnd.Below(big ? 60 : 20);
  for (std::uint32_t i = 0; i < length; ++i) {
    if (rnd.Below(12) == 0) {  // BL to somewhere nearby: a 32-bit pair
      const std::uint32_t offset = rnd.Below(1u << 12);
      PutHalf(out, static_cast<std::uint16_t>(0xF000 | (offset >> 11)));
      PutHalf(out, static_cast<std::uint16_t>(0xF800 | (offset & 0x7FF)));
    } else {
      PutHalf(out, RandomInstruction(rnd));
    }
  }
  PutHalf(out, big ? 0xBDF0 : 0xBD10);  // POP {..., pc}
  if (out.size() % 4 != 0) PutHalf(out, 0xBF00);  // NOP so the pool is word-aligned
  const std::uint32_t pool = 1 + rnd.Below(4);
  for (std::uint32_t i = 0; i < pool; ++i) {
    switch (rnd.Below(3)) {
      case 0: AppendLE32(out, 0x20000000 | (rnd.Below(0x2000) * 4)); break;  // RAM variable
      case 1: AppendLE32(out, 0x40000000 | (rnd.Below(0x10000) * 4)); break; // peripheral register
      default: AppendLE32(out, rnd.Next()); break;                          // constant
    }
  }
}

}  // namespace

std::vector<std::uint8_t> GenerateCodePayload(std::uint32_t parts, std::uint32_t seed) {
  const std::size_t size = static_cast<std::size_t>(parts) * 512;
  TRandom rnd(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 512);
  // Vector table: initial stack pointer, then Thumb entry points (odd addresses).
  AppendLE32(out, 0x20008000);
  for (int i = 0; i < 47; ++i) AppendLE32(out, (kCodeBase + 0xC0 + rnd.Below(0x4000) * 2) | 1);
  while (out.size() < size) AppendFunction(out, rnd);
  out.resize(size);
  return out;
}
