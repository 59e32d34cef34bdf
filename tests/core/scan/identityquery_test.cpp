#include "scan/identityquery.h"

#include <gtest/gtest.h>

#include "protocol/frame.h"
#include "support/recordinglog.h"
#include "support/identityreplies.h"
#include "support/scriptedchannel.h"

namespace {

using TBytes = TScriptedChannel::TBytes;
using identity::NumberReply;
using identity::Reply;
using identity::TextReply;
const TBytes kSilence;

struct IdentityQuery : ::testing::Test {
  TDevEntry Device{"1234", 0xFFFF, TAdapterKind::Ftdi};
  TScriptedChannel Channel;
  TRecordingLog Log;

  TScanError Run(bool versionOnly = false) {
    return IdentifyDevice(Device, Channel, Log, versionOnly);
  }
  int Sent(const std::string& text) const {
    const auto texts = Channel.SentTexts();
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
  }
};

}  // namespace

TEST_F(IdentityQuery, BootLoaderModeReadsVersionsAndProcessor) {
  Channel.Replies = {TextReply("VLQN-2.3b"), TextReply("VLQN-1.4"), NumberReply(0x25013F37)};
  EXPECT_EQ(Run(), seNone);
  EXPECT_TRUE(Device.BootMode);
  EXPECT_EQ(Device.FirmwareVersion.VersionText(), "VLQN-2.3b");
  EXPECT_EQ(Device.LoaderVersion.VersionText(), "VLQN-1.4");
  EXPECT_EQ(Device.ProcessorId, 0x25013F37u);
  ASSERT_EQ(Channel.Sent.size(), 3u);
  EXPECT_EQ(Channel.Sent[0], BuildCommandFrame(4, 10, 0));
  EXPECT_EQ(Channel.Sent[1], BuildCommandFrame(5, 10, 0));
  EXPECT_EQ(Channel.Sent[2], BuildCommandFrame(10, 10, 0));
  EXPECT_EQ(Channel.ReadTimeouts, (std::vector<std::uint32_t>{100, 100, 100}));
  EXPECT_EQ(Channel.Opens, 1);
  EXPECT_EQ(Channel.Closes, 1);
  EXPECT_TRUE(Log.Entries.empty());
}

TEST_F(IdentityQuery, AcceptedReplyMeansBootModeWhateverItsText) {
  const struct {
    std::string payload;
    const char* shown;
  } cases[] = {{"Unknown", "Empty"}, {"garbage", "?????"}};
  for (const auto& c : cases) {
    TDevEntry device("5", 0xFFFF, TAdapterKind::Ftdi);
    TScriptedChannel channel;
    channel.Replies = {TextReply(c.payload), kSilence, kSilence};
    EXPECT_EQ(IdentifyDevice(device, channel, Log), seNone);
    EXPECT_TRUE(device.BootMode) << c.payload;
    EXPECT_EQ(device.FirmwareVersion.VersionText(), c.shown);
    // Silent boot-loader queries leave the fields of a new record.
    EXPECT_EQ(device.ProcessorId, 0u);
    EXPECT_EQ(device.LoaderVersion.VersionText(), "?????");
  }
}

TEST_F(IdentityQuery, ApplicationIsToldToStartItsBootLoader) {
  Channel.Replies = {kSilence, Channel.Text("VLQN-2.1\r\n"), Channel.Text("STARTED\r\n")};
  EXPECT_EQ(Run(), seNone);
  EXPECT_FALSE(Device.BootMode);
  EXPECT_TRUE(Device.BootStarted);
  EXPECT_EQ(Device.FirmwareVersion.VersionText(), "VLQN-2.1");
  EXPECT_EQ(Sent("FL_READ_VERSION$"), 1);
  EXPECT_EQ(Sent("START_BOOT_LOADER"), 1);
  EXPECT_EQ(Channel.ReadTimeouts, (std::vector<std::uint32_t>{100, 2000, 1000}));
  EXPECT_EQ(Log.Texts(), (std::vector<std::string>{
                             "Отправляем команду запуска загрузчика",
                             "Команда запуска загрузчика обработана. Переподключите устройство."}));
  EXPECT_EQ(Log.Entries[0].Serial, 1234);
}

TEST_F(IdentityQuery, BootLoaderStartRepliesAreJudgedInOrder) {
  const struct {
    TBytes reply;
    bool writeOk;
    bool started;
    TLogLevel level;
    std::string logged;
  } cases[] = {
      {TScriptedChannel::Text("STARTED"), true, true, llInfo,
       "Команда запуска загрузчика обработана. Переподключите устройство."},
      {TScriptedChannel::Text("START ERROR 5"), true, false, llError, "Ошибка запуска загрузчика"},
      {TScriptedChannel::Text("started"), true, false, llError, "Неизвестный ответ прибора: started"},
      {TScriptedChannel::Text("%s%n\x01\xC4\xE0"), true, false, llError,
       "Неизвестный ответ прибора: %s%n?Да"},
      {kSilence, true, false, llError, "Прибор не ответил на команду запуска загрузчика."},
      {kSilence, false, false, llError, "Ошибка драйвера."},
  };
  for (const auto& c : cases) {
    TDevEntry device("7", 0xFFFF, TAdapterKind::Ftdi);
    TScriptedChannel channel;
    TRecordingLog log;
    // The version query's write result is not looked at; only the start's is.
    channel.Replies = {kSilence, TScriptedChannel::Text("VLQN-2.1"), c.reply};
    channel.WriteSucceeds = c.writeOk;
    EXPECT_EQ(IdentifyDevice(device, channel, log), seNone) << c.logged;
    EXPECT_EQ(device.BootStarted, c.started) << c.logged;
    ASSERT_EQ(log.Entries.size(), 2u) << c.logged;
    EXPECT_EQ(log.Entries[1].Level, c.level) << c.logged;
    EXPECT_EQ(log.Entries[1].Text, c.logged);
  }
}

TEST_F(IdentityQuery, SilentDeviceCostsFourTextAttemptsAndCode8) {
  EXPECT_EQ(Run(), seNoAnswer);
  EXPECT_EQ(Sent("FL_READ_VERSION$"), 4);
  EXPECT_EQ(Sent("START_BOOT_LOADER"), 0);
  EXPECT_EQ(Channel.Closes, 1);
  EXPECT_TRUE(Log.Entries.empty());
}

TEST_F(IdentityQuery, TextRepliesThatFailAnAttempt) {
  // Too short (the 7 bytes "Unknown"), no dash, no numbers: each attempt fails.
  Channel.Replies = {kSilence, Channel.Text("Unknown"), Channel.Text("VLQN2.1xx"),
                     Channel.Text("VLQN-abc"), Channel.Text("VLQN-1.2")};
  EXPECT_EQ(Run(), seNone);
  EXPECT_EQ(Sent("FL_READ_VERSION$"), 4);
  EXPECT_EQ(Device.FirmwareVersion.VersionText(), "VLQN-1.2");
}

TEST_F(IdentityQuery, ChannelThatDoesNotOpenGivesCode7AndNothingSent) {
  Channel.OpenSucceeds = false;
  EXPECT_EQ(Run(), seOpenFailed);
  EXPECT_TRUE(Channel.Sent.empty());
  EXPECT_EQ(Channel.Closes, 0);
}

TEST_F(IdentityQuery, VersionOnlySkipsBootLoaderQueriesButKeepsMode) {
  Channel.Replies = {TextReply("VLQN-2.3"), TextReply("VLQN-1.4"), NumberReply(1)};
  EXPECT_EQ(Run(/*versionOnly=*/true), seNone);
  EXPECT_TRUE(Device.BootMode);
  EXPECT_EQ(Device.FirmwareVersion.VersionText(), "VLQN-2.3");
  EXPECT_EQ(Device.LoaderVersion.VersionText(), "?????");
  EXPECT_EQ(Device.ProcessorId, 0u);
  EXPECT_EQ(Channel.Sent.size(), 1u);
}

TEST_F(IdentityQuery, RefusedFrameRepliesFallBackToTheTextQuery) {
  TBytes bare = BuildCommandFrame(frame::rcDone, 10, 0);  // announces no payload
  Channel.Replies = {bare, Channel.Text("VLQN-2.2")};
  EXPECT_EQ(Run(), seNone);
  EXPECT_FALSE(Device.BootMode);
  EXPECT_EQ(Device.FirmwareVersion.VersionText(), "VLQN-2.2");
}
