// vlpack: packs a payload into an image container (.eraw).
//
//   vlpack --version VLQN-2.3b [--date "29.12.2012 11:05:35"]
//          (--payload FILE | --generate PARTS [--seed N]) --output FILE.eraw
//
// --generate makes PARTS × 512 bytes of code-like payload, the same on every run.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packer.h"

namespace {

int Usage(const char* error) {
  std::fprintf(stderr, "vlpack: %s\n", error);
  std::fprintf(stderr,
               "usage: vlpack --version TEXT [--date \"dd.mm.yyyy hh:mm:ss\"]\n"
               "              (--payload FILE | --generate PARTS [--seed N]) --output FILE\n");
  return 2;
}

bool ParseNumber(const std::string& text, std::uint32_t& value) {
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> version, date, payloadFile, output;
  std::optional<std::uint32_t> parts;
  std::uint32_t seed = kDefaultPayloadSeed;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return Usage(("missing value after " + std::string(option)).c_str());
    const std::string value = argv[++i];
    std::uint32_t number = 0;
    if (option == "--version") version = value;
    else if (option == "--date") date = value;
    else if (option == "--payload") payloadFile = value;
    else if (option == "--output") output = value;
    else if (option == "--generate" || option == "--seed") {
      if (!ParseNumber(value, number))
        return Usage(("not a number: " + std::string(option) + " " + value).c_str());
      if (option == "--generate") parts = number;
      else seed = number;
    } else {
      return Usage(("unknown option " + std::string(option)).c_str());
    }
  }
  if (!version) return Usage("--version is required");
  if (!output) return Usage("--output is required");
  if (payloadFile.has_value() == parts.has_value())
    return Usage("give exactly one of --payload and --generate");

  std::vector<std::uint8_t> payload;
  if (payloadFile) {
    std::ifstream in(*payloadFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vlpack: cannot read payload file %s\n", payloadFile->c_str());
      return 1;
    }
    payload.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    if (*parts > 4096) return Usage("--generate takes at most 4096 parts (2 MiB)");
    payload = GenerateCodePayload(*parts, seed);
  }

  const TPackResult packed = PackImage(*version, date, payload);
  if (!packed.Error.empty()) {
    std::fprintf(stderr, "vlpack: %s\n", packed.Error.c_str());
    return 1;
  }
  std::ofstream out(*output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(packed.Bytes.data()),
            static_cast<std::streamsize>(packed.Bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vlpack: cannot write %s\n", output->c_str());
    return 1;
  }
  return 0;
}
