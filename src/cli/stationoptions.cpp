#include "cli/stationoptions.h"

#include <algorithm>

#include <charconv>

namespace {

bool ReadInt(const std::string& text, long long low, long long high, long long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && value >= low && value <= high;
}

}  // namespace

const char* const kStationUsage =
    "usage: vlfwflash list [--json] [--no-log]\n"
    "       vlfwflash write [--image FILE] [--serial N]... [--count N] [--timeout S] [--json]\n"
    "                       [--report FILE] [--no-log]\n"
    "       vlfwflash watch [--image FILE] [--json] [--report FILE] [--no-log]\n"
    "       vlfwflash info FILE [--json]\n"
    "       vlfwflash --version | --help\n";

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
