#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/devicescan.h"
#include "support/identityreplies.h"
#include "support/scriptedchannel.h"

// Attached devices as a test sets them: the listings of both kinds and how they end, and
// channels on which every device answers as a boot loader.
class TFakeDevices : public TDeviceEnumerator, public TChannelFactory {
public:
  TEnumResult ListFtdi(TDevEntryList& list, TLogSink&) override {
    Events.push_back("list ftdi");
    if (ThrowOnList) throw std::runtime_error("listing broke");
    for (const std::string& serial : Ftdi) list.push_back(std::make_unique<TDevEntry>(serial, 0xFFFF, TAdapterKind::Ftdi));
    return FtdiResult;
  }
  TEnumResult ListQn(TDevEntryList& list, TLogSink&) override {
    Events.push_back("list qn");
    for (const std::string& serial : Qn) list.push_back(std::make_unique<TDevEntry>(serial, 0x0102, TAdapterKind::Qn));
    return QnResult;
  }
  std::unique_ptr<TByteChannel> MakeChannel(const TDevEntry& device) override {
    Events.push_back("channel " + std::to_string(device.SerialNumber));
    if (OnMakeChannel) OnMakeChannel();
    auto channel = std::make_unique<TScriptedChannel>();
    channel->OpenSucceeds = OpenSucceeds;
    identity::AnswerAsBootLoader(*channel);
    return channel;
  }

  std::vector<std::string> Ftdi, Qn;  // serial texts, in listing order
  TEnumResult FtdiResult = erListed;
  TEnumResult QnResult = erListed;
  bool ThrowOnList = false;
  bool OpenSucceeds = true;
  std::function<void()> OnMakeChannel;
  std::vector<std::string> Events;
};
