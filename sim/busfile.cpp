#include "sim/busfile.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

bool IsValidSimDeviceName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

namespace {

// Texts may hold spaces (descriptions) or any 8-bit byte (device texts are Windows-1251),
// so the few bytes that would break a line apart are written as %XX.
std::string Encode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7F || c == '%' || c == '=' || c == '#') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

template <class T>
bool ParseNumber(std::string_view text, T& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  T parsed{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, base);
  if (error != std::errc{} || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

bool ParseBool(std::string_view text, bool& value) {
  if (text == "1" || text == "yes" || text == "true" || text == "on") return value = true, true;
  if (text == "0" || text == "no" || text == "false" || text == "off") return value = false, true;
  return false;
}

bool ParseSectors(std::string_view text, std::vector<std::uint16_t>& sectors) {
  std::vector<std::uint16_t> parsed;
  if (text != "-") {
    while (!text.empty()) {
      const std::size_t comma = text.find(',');
      std::uint16_t sector = 0;
      if (!ParseNumber(text.substr(0, comma), sector)) return false;
      parsed.push_back(sector);
      text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
  }
  sectors = parsed;
  return true;
}

std::string FormatSectors(const std::vector<std::uint16_t>& sectors) {
  if (sectors.empty()) return "-";
  std::string out;
  for (std::uint16_t sector : sectors) out += (out.empty() ? "" : ",") + std::to_string(sector);
  return out;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

bool SetSimField(TSimDeviceConfig& c, std::string_view key, std::string_view raw) {
  const std::optional<std::string> decoded = Decode(raw);
  if (!decoded) return false;
  const std::string_view value = *decoded;
  if (key == "name") {
    if (!IsValidSimDeviceName(std::string(value))) return false;
    c.Name = value;
    return true;
  }
  if (key == "adapter") {
    if (value == "ftdi") return c.Adapter = saFtdi, true;
    if (value == "qn") return c.Adapter = saQn, true;
    return false;
  }
  if (key == "serial") return c.Serial = value, true;
  if (key == "desc") return c.Description = value, true;
  if (key == "fw") return c.FirmwareVersion = value, true;
  if (key == "loader") return c.LoaderVersion = value, true;
  if (key == "mode") {
    if (value == "boot") return c.BootMode = true, true;
    if (value == "app") return c.BootMode = false, true;
    return false;
  }
  if (key == "code") return ParseNumber(value, c.DeviceCode);
  if (key == "cpu") return ParseNumber(value, c.ProcessorId);
  if (key == "nextboot") return ParseBool(value, c.BootOnNextPlug);
  if (key == "plugged") return ParseBool(value, c.Plugged);
  if (key == "silent") return ParseBool(value, c.Silent);
  if (key == "locked") return ParseBool(value, c.Locked);
  if (key == "refuseopen") return ParseBool(value, c.RefuseOpen);
  if (key == "protected") return ParseSectors(value, c.ProtectedSectors);
  if (key == "wrongsector") return ParseNumber(value, c.WrongSectorReplies);
  if (key == "wrongaddress") return ParseNumber(value, c.WrongAddressReplies);
  if (key == "short") return ParseNumber(value, c.ShortReplies);
  if (key == "missing") return ParseNumber(value, c.MissingReplies);
  if (key == "split") return ParseNumber(value, c.SplitReplies);
  if (key == "slow") return ParseNumber(value, c.ReplyDelayMs);
  if (key == "unplugafter") return ParseNumber(value, c.UnplugAfterFrames);
  if (key == "emptydesc") return ParseNumber(value, c.EmptyDescriptionListings);
  if (key == "listerror") return ParseNumber(value, c.ListingErrors);
  if (key == "erasems") return ParseNumber(value, c.EraseMsPerSector);
  if (key == "writems") return ParseNumber(value, c.WriteMsPerPart);
  if (key == "latency") return ParseNumber(value, c.LatencyMs);
  if (key == "splitgap") return ParseNumber(value, c.SplitGapMs);
  return false;
}

std::string FormatDeviceLine(const TSimDeviceConfig& c) {
  std::ostringstream out;
  out << "device name=" << c.Name << " adapter=" << (c.Adapter == saFtdi ? "ftdi" : "qn")
      << " serial=" << Encode(c.Serial) << " code=" << Hex(c.DeviceCode)
      << " desc=" << Encode(c.Description) << " mode=" << (c.BootMode ? "boot" : "app")
      << " nextboot=" << c.BootOnNextPlug << " cpu=" << Hex(c.ProcessorId)
      << " fw=" << Encode(c.FirmwareVersion) << " loader=" << Encode(c.LoaderVersion)
      << " plugged=" << c.Plugged << " silent=" << c.Silent << " locked=" << c.Locked
      << " protected=" << FormatSectors(c.ProtectedSectors)
      << " wrongsector=" << c.WrongSectorReplies << " wrongaddress=" << c.WrongAddressReplies
      << " short=" << c.ShortReplies << " missing=" << c.MissingReplies
      << " split=" << c.SplitReplies << " slow=" << c.ReplyDelayMs
      << " unplugafter=" << c.UnplugAfterFrames << " refuseopen=" << c.RefuseOpen
      << " emptydesc=" << c.EmptyDescriptionListings << " listerror=" << c.ListingErrors
      << " erasems=" << c.EraseMsPerSector << " writems=" << c.WriteMsPerPart
      << " latency=" << c.LatencyMs << " splitgap=" << c.SplitGapMs;
  return out.str();
}

std::optional<TSimDeviceConfig> ParseDeviceLine(std::string_view line, std::string* error) {
  std::istringstream in{std::string(line)};
  std::string word;
  if (!(in >> word) || word != "device") {
    if (error) *error = "a device line begins with \"device\"";
    return std::nullopt;
  }
  TSimDeviceConfig config;
  config.Name.clear();
  while (in >> word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos ||
        !SetSimField(config, std::string_view(word).substr(0, equals),
                     std::string_view(word).substr(equals + 1))) {
      if (error) *error = "bad field \"" + word + "\"";
      return std::nullopt;
    }
  }
  if (config.Name.empty()) {
    if (error) *error = "device without name";
    return std::nullopt;
  }
  return config;
}

std::vector<TSimDeviceConfig> ParseBusText(std::string_view text,
                                           std::vector<std::string>* errors) {
  std::vector<TSimDeviceConfig> devices;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || line[start] == '#') continue;
    std::string error;
    std::optional<TSimDeviceConfig> config = ParseDeviceLine(line, &error);
    if (config) {
      for (const TSimDeviceConfig& other : devices)
        if (other.Name == config->Name) error = "duplicate name " + config->Name;
    }
    if (config && error.empty())
      devices.push_back(*config);
    else if (errors)
      errors->push_back("line " + std::to_string(lineNumber) + ": " + error);
  }
  return devices;
}

std::string FormatBusText(const std::vector<TSimDeviceConfig>& devices) {
  std::string text = "# Simulated USB bus: one device a line (see sim/README.md).\n";
  for (const TSimDeviceConfig& device : devices) text += FormatDeviceLine(device) + "\n";
  return text;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string FlashFilePath(const std::string& busPath, const std::string& deviceName) {
  return busPath + "." + deviceName + ".flash";
}
