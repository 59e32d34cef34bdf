#include "cli/stationrun.h"

#include <algorithm>

const std::vector<TStationRun::TCause>& TStationRun::CauseOrder() {
  static const std::vector<TCause> order = {TCause::ReportLost, TCause::MaxFailures,
                                            TCause::WriteFailed, TCause::Timeout,
                                            TCause::ScanFailed, TCause::Interrupted};
  return order;
}

int TStationRun::ExitCodeOf(TCause cause) {
  switch (cause) {
    case TCause::ReportLost: return exReportLost;
    case TCause::MaxFailures: return exMaxFailures;
    case TCause::WriteFailed: return exWriteFailed;
    case TCause::Timeout: return exTimeout;
    case TCause::ScanFailed: return exScanFailed;
    case TCause::Interrupted: return exInterrupted;
  }
  return exWriteFailed;
}

const char* TStationRun::NameOf(TCause cause) {
  switch (cause) {
    case TCause::ReportLost: return "report_lost";
    case TCause::MaxFailures: return "max_failures";
    case TCause::WriteFailed: return "write_failed";
    case TCause::Timeout: return "timeout";
    case TCause::ScanFailed: return "scan_failed";
    case TCause::Interrupted: return "interrupted";
  }
  return "";
}

bool TStationRun::Chosen(std::int32_t serial) const {
  return Options.Serials.empty() ||
         std::find(Options.Serials.begin(), Options.Serials.end(), serial) != Options.Serials.end();
}

void TStationRun::ScanEnded(const std::vector<std::int32_t>& listedSerials, bool failed) {
  if (failed) Causes.insert(TCause::ScanFailed);
  Seen.insert(listedSerials.begin(), listedSerials.end());
  if (Scanned) return;
  Scanned = true;
  if (Options.Command != TStationCommand::Write) return;
  TargetCount = Options.Count;
  if (TargetCount > 0) return;
  TargetCount = static_cast<int>(std::count_if(listedSerials.begin(), listedSerials.end(),
                                               [this](std::int32_t serial) { return Chosen(serial); }));
  TargetCount = std::max(TargetCount, 1);
}

bool TStationRun::Stopped() const {
  return TimedOut || (Options.MaxFailures > 0 && FailedCount >= Options.MaxFailures);
}

TStationRun::TDecision TStationRun::Decide(TListingId listing, std::int32_t serial, bool bootMode,
                                           bool current) {
  if (!Writes() || Decided.count(listing) != 0 || !Chosen(serial)) return TDecision::Pass;
  // Nothing new starts once the run has given up, whatever comes.
  if (Stopped()) return TDecision::Pass;
  if (Options.Command == TStationCommand::Write && Ended() + Running >= TargetCount)
    return TDecision::Pass;
  if (Written.count(serial) != 0) {
    Decided.insert(listing);
    return TDecision::AlreadyWritten;
  }
  // The version is known in either mode: a device running the image's version is left
  // alone. (One in its application has been told to start its boot loader by its
  // identity query already; plugged in again, it is written already for this run.)
  if (Options.SkipCurrent && current) {
    Decided.insert(listing);
    ++CurrentCount;
    Written.insert(serial);
    return TDecision::Current;
  }
  if (!bootMode) return TDecision::Pass;
  Decided.insert(listing);
  return TDecision::Write;
}

void TStationRun::WriteStarted() { ++Running; }

void TStationRun::WriteEnded(std::int32_t serial, std::int32_t resultCode, bool succeeded,
                             bool interrupted) {
  --Running;
  ++Codes[resultCode];
  if (succeeded) {
    ++SucceededCount;
    Written.insert(serial);
  } else if (interrupted) {
    ++InterruptedCount;
  } else {
    ++FailedCount;
    Causes.insert(TCause::WriteFailed);
    if (Options.MaxFailures > 0 && FailedCount >= Options.MaxFailures)
      Causes.insert(TCause::MaxFailures);
  }
}

std::optional<int> TStationRun::ExitIfOver() const {
  if (Running > 0) {
    // The devices being written finish first.
    return std::nullopt;
  }
  if (Options.MaxFailures > 0 && FailedCount >= Options.MaxFailures) return ExitCode();
  if (Options.Command != TStationCommand::Write) return std::nullopt;
  if (Ended() >= TargetCount || TimedOut) return ExitCode();
  return std::nullopt;
}

std::optional<int> TStationRun::ExitOnTimeout() {
  TimedOut = true;
  if (Ended() < TargetCount) Causes.insert(TCause::Timeout);
  if (Running > 0) return std::nullopt;
  return ExitCode();
}

int TStationRun::ExitCode() const {
  for (const TCause cause : CauseOrder())
    if (Causes.count(cause) != 0) return ExitCodeOf(cause);
  return exWritten;
}

std::vector<std::string> TStationRun::CauseNames() const {
  std::vector<std::string> names;
  for (const TCause cause : CauseOrder())
    if (Causes.count(cause) != 0) names.emplace_back(NameOf(cause));
  return names;
}

std::vector<std::int32_t> TStationRun::NotFound() const {
  std::vector<std::int32_t> missing;
  for (const std::int32_t serial : Options.Serials)
    if (Seen.count(serial) == 0) missing.push_back(serial);
  return missing;
}
