#include "cli/stationrun.h"

#include <algorithm>

bool TStationRun::Chosen(std::int32_t serial) const {
  return Options.Serials.empty() ||
         std::find(Options.Serials.begin(), Options.Serials.end(), serial) != Options.Serials.end();
}

void TStationRun::ScanEnded(const std::vector<std::int32_t>& listedSerials) {
  if (Scanned) return;
  Scanned = true;
  if (Options.Command != TStationCommand::Write) return;
  Target = Options.Count;
  if (Target > 0) return;
  Target = static_cast<int>(
      std::count_if(listedSerials.begin(), listedSerials.end(), [this](std::int32_t serial) {
        return Chosen(serial);
      }));
  Target = std::max(Target, 1);
}

bool TStationRun::ShouldWrite(TListingId listing, std::int32_t serial, bool bootMode) const {
  if (!bootMode || Handled.count(listing) != 0 || !Chosen(serial)) return false;
  if (Options.Command != TStationCommand::Write) return true;
  return Written.count(serial) == 0 && Ended() + Running < Target;
}

void TStationRun::WriteStarted(TListingId listing) {
  Handled.insert(listing);
  ++Running;
}

void TStationRun::WriteEnded(std::int32_t serial, bool succeeded, bool interrupted) {
  --Running;
  if (succeeded) {
    ++SucceededCount;
    Written.insert(serial);
  } else if (interrupted) {
    ++InterruptedCount;
  } else {
    ++FailedCount;
  }
}

std::optional<int> TStationRun::ExitAfterWrite() const {
  if (Options.Command != TStationCommand::Write) return std::nullopt;
  if (Ended() >= Target) return FailedCount > 0 ? exWriteFailed : exWritten;
  if (TimedOut && Running == 0) return FailedCount > 0 ? exWriteFailed : exTimeout;
  return std::nullopt;
}

std::optional<int> TStationRun::ExitOnTimeout() {
  TimedOut = true;
  if (Running > 0) return std::nullopt;
  return FailedCount > 0 ? exWriteFailed : exTimeout;
}

int TStationRun::FinalExit(int exitCode) const {
  return RecordLost && exitCode == exWritten ? exReportLost : exitCode;
}
