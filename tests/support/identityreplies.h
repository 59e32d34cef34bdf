#pragma once
#include <cstdint>
#include <string>

#include "protocol/frame.h"
#include "support/scriptedchannel.h"

// Replies of a device to the identity queries, for scripted channels.
namespace identity {

using TBytes = TScriptedChannel::TBytes;

// An accepted identity reply carrying the given payload.
inline TBytes Reply(const TBytes& payload) {
  return BuildCommandFrame(frame::rcDone, 10, 0, payload.data(), payload.size());
}
inline TBytes TextReply(const std::string& text) {
  TBytes payload(text.begin(), text.end());
  payload.push_back(0);
  return Reply(payload);
}
inline TBytes NumberReply(std::uint32_t value) {
  return Reply({static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}
// What a device in boot-loader mode answers: firmware version, loader version, processor.
inline void AnswerAsBootLoader(TScriptedChannel& channel) {
  channel.Replies = {TextReply("VLQN-2.3"), TextReply("VLQN-1.3"), NumberReply(0x25013F37)};
}

}  // namespace identity
