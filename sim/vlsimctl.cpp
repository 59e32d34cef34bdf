// vlsimctl: plugs, unplugs, breaks and reads back simulated devices through the bus file
// while the program runs. See sim/README.md.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "protocol/firmwareversion.h"
#include "protocol/sectorlayout.h"
#include "sim/busfile.h"
#include "sim/simctlnotify.h"

namespace {

int Usage() {
  std::fputs(
      "usage: vlsimctl [--bus FILE] COMMAND ...\n"
      "  list                          the devices on the bus\n"
      "  add name=NAME [KEY=VALUE...]  add a device (plugged unless plugged=0)\n"
      "  set NAME KEY=VALUE...         change fields: faults, timing, identity\n"
      "  plug NAME | unplug NAME       connect or disconnect a device\n"
      "  replug NAME [MS]              unplug, wait MS (1500), plug again\n"
      "  remove NAME                   take a device off the bus for good\n"
      "  readflash NAME FILE           the device's flash as last saved, to FILE\n"
      "The bus file is FILE or $VL_SIM_BUS.\n",
      stderr);
  return 2;
}

using TEdit = bool (*)(std::vector<TSimDeviceConfig>&, const std::vector<std::string>&);

TSimDeviceConfig* Find(std::vector<TSimDeviceConfig>& devices, const std::string& name) {
  for (TSimDeviceConfig& device : devices)
    if (device.Name == name) return &device;
  std::fprintf(stderr, "vlsimctl: no device %s\n", name.c_str());
  return nullptr;
}

bool SetFields(TSimDeviceConfig& device, const std::vector<std::string>& fields,
               std::size_t first) {
  for (std::size_t i = first; i < fields.size(); ++i) {
    const std::size_t equals = fields[i].find('=');
    if (equals == std::string::npos ||
        !SetSimField(device, fields[i].substr(0, equals), fields[i].substr(equals + 1))) {
      std::fprintf(stderr, "vlsimctl: bad field %s\n", fields[i].c_str());
      return false;
    }
  }
  return true;
}

// Reads the bus file, applies the edit and writes it back under the bus file's lock, so
// that the running program's own rewrites are not lost.
// The change is announced once the lock is free again, so that a program scanning on the
// announcement does not wait for it.
int EditBus(const std::string& bus, const std::vector<std::string>& args, TEdit edit) {
  {
    TBusFileLock lock(bus);
    const std::optional<std::string> text = ReadWholeFile(bus);
    std::vector<std::string> errors;
    std::vector<TSimDeviceConfig> devices =
        text ? ParseBusText(*text, &errors) : std::vector<TSimDeviceConfig>{};
    for (const std::string& error : errors) std::fprintf(stderr, "vlsimctl: %s\n", error.c_str());
    if (!edit(devices, args)) return 1;
    if (!WriteFileAtomically(bus, FormatBusText(devices))) {
      std::fprintf(stderr, "vlsimctl: cannot write %s\n", bus.c_str());
      return 1;
    }
  }
  AnnounceBusChange();
  return 0;
}

bool Add(std::vector<TSimDeviceConfig>& devices, const std::vector<std::string>& args) {
  TSimDeviceConfig device;
  device.Name.clear();
  if (!SetFields(device, args, 0)) return false;
  if (device.Name.empty()) {
    std::fputs("vlsimctl: add needs name=NAME\n", stderr);
    return false;
  }
  for (const TSimDeviceConfig& other : devices) {
    if (other.Name == device.Name) {
      std::fprintf(stderr, "vlsimctl: %s is on the bus already\n", device.Name.c_str());
      return false;
    }
  }
  devices.push_back(device);
  return true;
}

bool Set(std::vector<TSimDeviceConfig>& devices, const std::vector<std::string>& args) {
  if (args.empty()) return false;
  TSimDeviceConfig* device = Find(devices, args[0]);
  if (!device) return false;
  TSimDeviceConfig changed = *device;
  if (!SetFields(changed, args, 1)) return false;
  changed.Name = device->Name;
  *device = changed;
  return true;
}

bool Plug(std::vector<TSimDeviceConfig>& devices, const std::vector<std::string>& args) {
  TSimDeviceConfig* device = args.empty() ? nullptr : Find(devices, args[0]);
  if (device) PlugIn(*device);
  return device != nullptr;
}

bool Unplug(std::vector<TSimDeviceConfig>& devices, const std::vector<std::string>& args) {
  TSimDeviceConfig* device = args.empty() ? nullptr : Find(devices, args[0]);
  if (device) device->Plugged = false;
  return device != nullptr;
}

bool Remove(std::vector<TSimDeviceConfig>& devices, const std::vector<std::string>& args) {
  if (args.empty() || !Find(devices, args[0])) return false;
  std::erase_if(devices, [&](const TSimDeviceConfig& d) { return d.Name == args[0]; });
  return true;
}

int List(const std::string& bus) {
  const std::optional<std::string> text = ReadWholeFile(bus);
  if (!text) {
    std::fprintf(stderr, "vlsimctl: cannot read %s\n", bus.c_str());
    return 1;
  }
  for (const TSimDeviceConfig& device : ParseBusText(*text))
    std::printf("%s\n", FormatDeviceLine(device).c_str());
  return 0;
}

// The program's bus saves a device's flash beside the bus file whenever the device's
// channel is closed; a device never written since it was added is blank.
int ReadFlash(const std::string& bus, const std::string& name, const std::string& out) {
  const std::optional<std::string> text = ReadWholeFile(bus);
  std::vector<TSimDeviceConfig> devices = text ? ParseBusText(*text) : std::vector<TSimDeviceConfig>{};
  const TSimDeviceConfig* device = Find(devices, name);
  if (!device) return 1;
  std::optional<std::string> flash = ReadWholeFile(FlashFilePath(bus, name));
  if (!flash) {
    TFirmwareVersion loader;
    loader.Parse(device->LoaderVersion);
    flash = std::string(SectorLayoutFor(device->ProcessorId, loader.Suffix).FlashSize(), '\xFF');
  }
  if (!WriteFileAtomically(out, *flash)) {
    std::fprintf(stderr, "vlsimctl: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string bus = std::getenv("VL_SIM_BUS") ? std::getenv("VL_SIM_BUS") : "";
  if (args.size() >= 2 && args[0] == "--bus") {
    bus = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (bus.empty() || args.empty()) return Usage();
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "list") return List(bus);
  if (command == "add") return EditBus(bus, args, Add);
  if (command == "set") return EditBus(bus, args, Set);
  if (command == "plug") return EditBus(bus, args, Plug);
  if (command == "unplug") return EditBus(bus, args, Unplug);
  if (command == "remove") return EditBus(bus, args, Remove);
  if (command == "replug" && !args.empty()) {
    if (const int status = EditBus(bus, args, Unplug)) return status;
    const int waitMs = args.size() > 1 ? std::atoi(args[1].c_str()) : 1500;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return EditBus(bus, {args[0]}, Plug);
  }
  if (command == "readflash" && args.size() == 2) return ReadFlash(bus, args[0], args[1]);
  return Usage();
}
