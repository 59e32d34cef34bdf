#pragma once
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/logsink.h"

// Keeps every entry, for tests that check what was logged and in which order.
class TRecordingLog : public TLogSink {
public:
  struct TEntry {
    TLogLevel Level;
    std::int32_t Serial;
    std::string Text;
    bool operator==(const TEntry&) const = default;
  };

  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override {
    std::lock_guard lock(Mutex);
    Entries.push_back({level, serial, text});
  }

  std::vector<std::string> Texts() const {
    std::lock_guard lock(Mutex);
    std::vector<std::string> texts;
    for (const auto& e : Entries) texts.push_back(e.Text);
    return texts;
  }

  bool Contains(const std::string& text) const {
    const auto texts = Texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }

  // Whether some entry begins with the given text.
  bool ContainsPrefix(const std::string& prefix) const {
    const auto texts = Texts();
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
  }

  std::vector<TEntry> Entries;

private:
  mutable std::mutex Mutex;
};
