#pragma once
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "protocol/bytechannel.h"

// A channel whose replies are scripted, one per read, and which records what was sent.
// An empty reply stands for silence.
class TScriptedChannel : public TByteChannel {
public:
  using TBytes = std::vector<std::uint8_t>;

  bool Open() override {
    ++Opens;
    return OpenSucceeds;
  }
  void Close() override { ++Closes; }
  bool Write(const std::uint8_t* data, std::uint32_t length) override {
    Sent.emplace_back(data, data + length);
    return WriteSucceeds && !(RefuseWrite && RefuseWrite(Sent.back()));
  }
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t maxLength, std::uint32_t timeoutMs) override {
    ReadTimeouts.push_back(timeoutMs);
    if (Replies.empty()) return 0;
    const TBytes reply = Replies.front();
    Replies.pop_front();
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(reply.size(), maxLength));
    if (count > 0) std::memcpy(buffer, reply.data(), count);
    return count;
  }

  static TBytes Text(const std::string& text) { return TBytes(text.begin(), text.end()); }

  std::vector<std::string> SentTexts() const {
    std::vector<std::string> texts;
    for (const auto& s : Sent) texts.emplace_back(s.begin(), s.end());
    return texts;
  }

  bool OpenSucceeds = true;
  bool WriteSucceeds = true;
  std::function<bool(const TBytes&)> RefuseWrite;  // a write it refuses, when set
  int Opens = 0;
  int Closes = 0;
  std::deque<TBytes> Replies;
  std::vector<TBytes> Sent;
  std::vector<std::uint32_t> ReadTimeouts;
};
