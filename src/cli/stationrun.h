#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "cli/stationoptions.h"

// The rules of one station run, apart from how it is printed: which devices are chosen,
// how many are to be written, when the run is over and the exit code it ends with.
class TStationRun {
public:
  enum TExit {
    exWritten = 0,
    exWriteFailed = 1,
    exUsage = 2,  // also an image that does not load, or a report file that takes no line
    exNoDriver = 3,
    exOtherCopy = 4,
    exTimeout = 5,
    exDamaged = 6,     // the program's own file failed its seal check
    exReportLost = 7,  // a finished write's record could not be added to the report
    exInterrupted = 130,
  };

  using TListingId = std::uint64_t;

  explicit TStationRun(const TStationOptions& options) : Options(options) {}

  bool Chosen(std::int32_t serial) const;

  // A scan has ended; the first one of a write run fixes how many devices it writes:
  // --count, or the chosen devices present then (at least one: an application device
  // present comes back to be written).
  void ScanEnded(const std::vector<std::int32_t>& listedSerials);
  // Whether a listed device is to be written now. A listing is written once; in a write
  // run a device written well is not written again, and no more than the target are.
  bool ShouldWrite(TListingId listing, std::int32_t serial, bool bootMode) const;
  void WriteStarted(TListingId listing);
  // interrupted: the write stopped because the run is ending.
  void WriteEnded(std::int32_t serial, bool succeeded, bool interrupted);
  void ReportLost() { RecordLost = true; }

  // Whether the run is over after a write has ended or the time-out has come, and with
  // which code.
  std::optional<int> ExitAfterWrite() const;
  std::optional<int> ExitOnTimeout();
  // The code a run ends with that has to end for another reason (an interrupt, the end of
  // a listing); a lost report record turns a good run into a failed one.
  int FinalExit(int exitCode) const;

  int Succeeded() const { return SucceededCount; }
  int Failed() const { return FailedCount; }
  int Interrupted() const { return InterruptedCount; }

private:
  int Ended() const { return SucceededCount + FailedCount; }

  TStationOptions Options;
  std::set<TListingId> Handled;    // listings whose write was started
  std::set<std::int32_t> Written;  // serial numbers written well in this run
  int Target = 0;                  // write: devices to write before the run ends
  bool Scanned = false;
  bool TimedOut = false;
  bool RecordLost = false;
  int Running = 0;
  int SucceededCount = 0;
  int FailedCount = 0;
  int InterruptedCount = 0;
};
