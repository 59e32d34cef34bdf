#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the station command line was asked to do.
enum class TStationCommand { List, Write, Watch, Info };

struct TStationOptions {
  TStationCommand Command = TStationCommand::List;
  std::string Image;                   // --image, or the file of "info"; empty: built-in
  std::vector<std::int32_t> Serials;   // --serial, repeatable; empty: every device
  int Count = 0;                       // --count: devices to wait for; 0: those present
  int TimeoutSeconds = 30;             // --timeout
  bool Json = false;                   // --json
  std::string Report;                  // --report: CSV file appended to
  bool Log = true;                     // --no-log turns the daily log file off
  std::string Station;                 // --station: this station's id; empty: the host name
  std::string Operator;                // --operator: who runs the line
  std::string ImageSha256;             // --image-sha256: the image's hash, lower-case hex
  bool SkipCurrent = false;            // --skip-current: leave devices with the image's version
  int MaxFailures = 0;                 // --max-failures: end the run after N failed writes; 0: never
};

// The options, or the reason they make no sense (said to the user with the usage).
struct TStationParse {
  std::optional<TStationOptions> Options;
  std::string Error;
};

TStationParse ParseStationArguments(const std::vector<std::string>& arguments);

// The usage text printed with a usage error and for --help.
extern const char* const kStationUsage;
