#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/stationoptions.h"

// The rules of one station run, apart from how it is printed: which devices are chosen,
// how many are to be written, when the run is over, why it ended and the exit code.
class TStationRun {
public:
  enum TExit {
    exWritten = 0,
    exWriteFailed = 1,
    exUsage = 2,  // also an image that fails --image-sha256, a report with other columns
    exNoDriver = 3,
    exOtherCopy = 4,
    exTimeout = 5,
    exDamaged = 6,       // the program's own file failed its seal check
    exReportLost = 7,    // a finished write's record could not be added to the report
    exImageNotLoaded = 8,
    exReportUnwritable = 9,
    exScanFailed = 10,   // a device could not be identified
    exMaxFailures = 11,  // the run stopped after --max-failures failed writes
    exInterrupted = 130,
  };

  // Why a run that touched devices did not end well. When several apply, the exit code is
  // that of the first in this order: the one a line's script must act on first.
  enum class TCause { ReportLost, MaxFailures, WriteFailed, Timeout, ScanFailed, Interrupted };
  static const std::vector<TCause>& CauseOrder();
  static int ExitCodeOf(TCause cause);
  static const char* NameOf(TCause cause);  // as the summary event lists it

  // What becomes of a listed device.
  enum class TDecision {
    Write,
    Pass,            // not chosen, not in boot-loader mode, or not wanted (any more)
    AlreadyWritten,  // written well earlier in this run: said, and left alone
    Current,         // --skip-current: it already runs the image's version
  };

  using TListingId = std::uint64_t;

  explicit TStationRun(const TStationOptions& options) : Options(options) {}

  bool Chosen(std::int32_t serial) const;

  // A scan has ended. The first one of a write run fixes how many devices it writes:
  // --count, or the chosen devices present then (at least one: an application device
  // present comes back to be written).
  void ScanEnded(const std::vector<std::int32_t>& listedSerials, bool failed);
  // Decided once per listing: a listing that was written, skipped or said is not looked
  // at again.
  TDecision Decide(TListingId listing, std::int32_t serial, bool bootMode, bool current);
  void WriteStarted();
  // interrupted: the write stopped because the run is ending.
  void WriteEnded(std::int32_t serial, std::int32_t resultCode, bool succeeded, bool interrupted);
  void ReportLost() { Causes.insert(TCause::ReportLost); }

  // Whether the run is over after a write has ended or the time-out has come, and with
  // which code.
  std::optional<int> ExitIfOver() const;
  std::optional<int> ExitOnTimeout();
  // The run ends for another reason too (an interrupt, the end of a listing).
  void Interrupted() { Causes.insert(TCause::Interrupted); }
  int ExitCode() const;

  int Target() const { return TargetCount; }
  int Succeeded() const { return SucceededCount; }
  int Failed() const { return FailedCount; }
  int InterruptedWrites() const { return InterruptedCount; }
  int CurrentDevices() const { return CurrentCount; }
  std::vector<std::string> CauseNames() const;
  // The --serial devices never listed in the run.
  std::vector<std::int32_t> NotFound() const;
  // How many writes ended with each result code.
  const std::map<std::int32_t, int>& ResultCodes() const { return Codes; }

private:
  int Ended() const { return SucceededCount + FailedCount + CurrentCount; }
  bool Writes() const { return Options.Command != TStationCommand::List; }
  bool Stopped() const;

  TStationOptions Options;
  std::set<TListingId> Decided;
  std::set<std::int32_t> Seen;     // serial numbers listed in the run
  std::set<std::int32_t> Written;  // serial numbers written well in the run
  std::set<TCause> Causes;
  std::map<std::int32_t, int> Codes;
  int TargetCount = 0;             // write: devices to write before the run ends
  bool Scanned = false;
  bool TimedOut = false;
  int Running = 0;
  int SucceededCount = 0;
  int FailedCount = 0;
  int InterruptedCount = 0;
  int CurrentCount = 0;
};
