#include "cli/stationoptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool IsSha256(std::string& text) {
  if (text.size() != 64) return false;
  for (char& c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return true;
}

bool ReadInt(const std::string& text, long long low, long long high, long long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && value >= low && value <= high;
}

}  // namespace

const char* const kStationUsage =
    "usage: vlfwflash list [--json] [--no-log]\n"
    "       vlfwflash write [--serial N]... [--count N] [--timeout S] [WRITE OPTIONS]\n"
    "       vlfwflash watch [WRITE OPTIONS]\n"
    "       vlfwflash info FILE [--json]\n"
    "       vlfwflash --version | --help\n"
    "\n"
    "  --serial N          write only this device (repeatable); default: every device\n"
    "  --count N           devices to write before the run ends; default: the --serial\n"
    "                      devices, or those present at the first scan (at least one)\n"
    "  --timeout S         seconds to wait for them; default 30; no write starts after it\n"
    "write options:\n"
    "  --image FILE        the image to write; default: the image built into the program\n"
    "  --image-sha256 HEX  refuse an image whose SHA-256 differs; default: no check\n"
    "  --skip-current      leave a device that already runs the image's version; default: off\n"
    "  --max-failures N    start no more writes after N failed ones; default: no limit\n"
    "  --report FILE       append a CSV record per device; default: none\n"
    "  --station ID        this station's id in every event and record; default: host name\n"
    "  --operator NAME     who runs the line, in every result and record; default: none\n"
    "  --json              one JSON object per event; default: lines for a person\n"
    "  --no-log            no daily log file; default: the log beside the program\n"
    "\n"
    "exit codes, the first that applies when several do:\n"
    "  7 a finished write's record could not be added to the report\n"
    "  11 the run stopped after --max-failures failed writes\n"
    "  1 a write failed\n"
    "  5 time-out: fewer devices written than asked for\n"
    "  10 a scan failed (a device could not be identified)\n"
    "  130 interrupted (Ctrl+C, SIGTERM, SIGHUP, a closed output, log-off)\n"
    "  0 every chosen device written\n"
    "before any device is touched:\n"
    "  2 usage error, an image that fails --image-sha256, a report with other columns\n"
    "  3 no driver library  4 another program holds the devices  6 this program's file\n"
    "  is damaged  8 the image does not load  9 the report file cannot be written\n";

TStationParse ParseStationArguments(const std::vector<std::string>& arguments) {
  TStationParse parse;
  const auto fail = [&parse](std::string error) {
    parse.Error = std::move(error);
    return parse;
  };
  if (arguments.empty()) return fail("no command given");
  TStationOptions options;
  const std::string& command = arguments[0];
  if (command == "list") options.Command = TStationCommand::List;
  else if (command == "write") options.Command = TStationCommand::Write;
  else if (command == "watch") options.Command = TStationCommand::Watch;
  else if (command == "info") options.Command = TStationCommand::Info;
  else return fail("unknown command \"" + command + "\"");
  const bool writes = options.Command == TStationCommand::Write || options.Command == TStationCommand::Watch;

  bool countGiven = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    std::string text;
    long long number = 0;
    if (word == "--json") {
      options.Json = true;
    } else if (word == "--no-log" && options.Command != TStationCommand::Info) {
      options.Log = false;
    } else if (word == "--image" && writes) {
      if (!value(options.Image) || options.Image.empty()) return fail("--image needs a file");
    } else if (word == "--report" && writes) {
      if (!value(options.Report) || options.Report.empty()) return fail("--report needs a file");
    } else if (word == "--serial" && options.Command == TStationCommand::Write) {
      if (!value(text) || !ReadInt(text, INT32_MIN, INT32_MAX, number))
        return fail("--serial needs a serial number");
      if (std::find(options.Serials.begin(), options.Serials.end(), number) != options.Serials.end())
        return fail("--serial " + text + " is given twice");
      options.Serials.push_back(static_cast<std::int32_t>(number));
    } else if (word == "--count" && options.Command == TStationCommand::Write) {
      if (!value(text) || !ReadInt(text, 1, 100000, number)) return fail("--count needs a number of devices");
      options.Count = static_cast<int>(number);
      countGiven = true;
    } else if (word == "--station" && writes) {
      if (!value(options.Station) || options.Station.empty()) return fail("--station needs an id");
    } else if (word == "--operator" && writes) {
      if (!value(options.Operator) || options.Operator.empty()) return fail("--operator needs a name");
    } else if (word == "--image-sha256" && writes) {
      if (!value(options.ImageSha256) || !IsSha256(options.ImageSha256))
        return fail("--image-sha256 needs 64 hexadecimal digits");
    } else if (word == "--skip-current" && writes) {
      options.SkipCurrent = true;
    } else if (word == "--max-failures" && writes) {
      if (!value(text) || !ReadInt(text, 1, 100000, number))
        return fail("--max-failures needs a number of failed writes");
      options.MaxFailures = static_cast<int>(number);
    } else if (word == "--timeout" && options.Command == TStationCommand::Write) {
      if (!value(text) || !ReadInt(text, 1, 86400, number)) return fail("--timeout needs seconds");
      options.TimeoutSeconds = static_cast<int>(number);
    } else if (options.Command == TStationCommand::Info && options.Image.empty() &&
               !word.starts_with("--")) {
      options.Image = word;
    } else {
      return fail("\"" + word + "\" is not an option of " + command);
    }
  }
  if (options.Command == TStationCommand::Info && options.Image.empty())
    return fail("info needs a file");
  // A run waiting for more of the named devices than there are could only time out.
  if (countGiven && !options.Serials.empty() && options.Count > static_cast<int>(options.Serials.size()))
    return fail("--count is above the number of --serial devices");
  // Named devices are waited for, all of them, unless a count says otherwise.
  if (!countGiven && !options.Serials.empty()) options.Count = static_cast<int>(options.Serials.size());
  parse.Options = options;
  return parse;
}
