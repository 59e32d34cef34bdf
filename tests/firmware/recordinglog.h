#pragma once
#include <string>
#include <vector>

#include "protocol/logsink.h"

// Keeps every entry so a test can compare the exact lines and levels that were logged.
class TRecordingLog : public TLogSink {
public:
  struct TEntry {
    TLogLevel Level;
    std::int32_t Serial;
    std::string Text;
    bool operator==(const TEntry&) const = default;
  };
  std::vector<TEntry> Entries;

  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override {
    Entries.push_back({level, serial, text});
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : Entries) texts.push_back(e.Text);
    return texts;
  }
};
