// Every fault the simulator offers against every phase it can strike: listing, identity,
// boot-loader start, erase, write and the closing frame, on both kinds of adapter. Each
// cell checks the outcome the user is shown, and ends with the same checks: no worker
// left, no record leaked, the list equal to the bus once the fault is gone, and never a
// success reported for a flash that does not hold the image.
#include "protocol/frame.h"
#include "reliabilityfixture.h"

namespace {

// phRefusal: the write is refused before its channel is opened (the device as listed
// does not take the image, or the image has nothing to write); its fault is the device's
// from the start.
enum TPhase { phListing, phIdentity, phBootStart, phRefusal, phErase, phWrite, phClosing };

// What the user is shown in the end. Before a write: whether the device is listed, or
// the scan's error code. For a write: its result code.
enum TOutcome {
  oListed = -1,
  oNotListed = -2,
  oScanError7 = -7,
  oScanError8 = -8,
  oLocked = -138,  // the locked texts, whatever the result code
  oRemoved = -3,   // the device went away with its record; its write did not succeed
  oIncompatible = -9,  // the incompatibility's texts; nothing erased, nothing closed
};

struct TCell {
  const char* Name;
  TPhase Phase;
  TSimAdapter Adapter;
  std::function<void(TSimDeviceConfig&)> Fault;
  int Outcome;  // a TOutcome, or the write's result code
  // Log lines that must stand, as patterns: the text after the device's prefix, and the
  // text after the dashes of a line about no device.
  std::vector<const char*> DeviceLines = {};
  std::vector<const char*> PlainLines = {};
  bool AppMode = false;
  bool DropsOff = false;  // the device leaves the bus; a later scan removes it
  bool ScanDuringWrite = false;
  TBytes Payload = GenerateCodePayload(16, 7);  // sectors 10 and 11
};

void PrintTo(const TCell& cell, std::ostream* out) { *out << cell.Name; }

constexpr int kSerial = 77;
constexpr std::uint32_t kSplitGapMs = 400;
const char* const kAny = R"(\( *\d+\))";

class FaultMatrix : public TReliabilityTest, public ::testing::WithParamInterface<TCell> {
protected:
  void Click() { Panel(kSerial)->btnWrite->click(); }
  QString Status() { return Panel(kSerial)->lblMessage->text(); }
  QColor StatusColour() { return Panel(kSerial)->lblMessage->palette().color(QPalette::WindowText); }

  bool LoggedPattern(const QString& prefix, const QString& pattern) {
    const QRegularExpression re(u'^' + QRegularExpression::escape(prefix) + pattern + u'$');
    return !Lines().filter(re).isEmpty();
  }

  bool SuccessLogged() {
    return LoggedPattern(DevPrefix(kSerial), QString::fromUtf8(kAny) + "Прошивка завершена успешно");
  }
};

TEST_P(FaultMatrix, OutcomeShownAndNothingLost) {
  const TCell& cell = GetParam();
  const TBytes& payload = cell.Payload;
  TSimDeviceConfig config = Device("d", cell.Adapter, std::to_string(kSerial), !cell.AppMode);
  // Time for a scan during the write; the fault itself is armed by the write's progress.
  if (cell.Phase == phWrite) config.WriteMsPerPart = 20;
  const bool beforeWrite = cell.Phase <= phBootStart;
  if (cell.Phase <= phRefusal) cell.Fault(config);
  Bus.Add(config);
  StartWithFile(PackFile(payload));
  ASSERT_TRUE(WaitForScanAfter(0));

  const QString scanError = QString::fromUtf8(kAny) + "Ошибка %1 поиске новых устройств\\. Последний код ответа прибора 0";
  if (beforeWrite) {
    const bool listed = Listed(kSerial) != nullptr;
    switch (cell.Outcome) {
      case oListed: EXPECT_TRUE(listed) << Lines().join('\n').toStdString(); break;
      case oNotListed: EXPECT_FALSE(listed); break;
      case oScanError7:
      case oScanError8:
        EXPECT_FALSE(listed);
        EXPECT_TRUE(LoggedPattern(kNoDevPrefix, scanError.arg(-cell.Outcome))) << Lines().join('\n').toStdString();
        break;
      default: FAIL() << "no write outcome before a write";
    }
  } else {
    ASSERT_NE(Listed(kSerial), nullptr) << Lines().join('\n').toStdString();
    if (cell.Phase == phErase || cell.Phase == phClosing) Bus.Configure("d", cell.Fault);
    // Mid-write faults strike after the first part of sector 10: the write reports its
    // progress after each part and waits for the window meanwhile, so the fault is set
    // between two frames, however slow the machine.
    std::uint32_t writeFramesWhenArmed = 0;
    bool armed = false;
    if (cell.Phase == phWrite)
      QObject::connect(&Form->Controller(), &TDeviceController::DeviceProgress, Form.get(), [&] {
        if (armed) return;
        armed = true;
        writeFramesWhenArmed = Bus.FramesReceived("d", frame::cmdWriteV2);
        Bus.Configure("d", cell.Fault);
        if (cell.ScanDuringWrite) Notify();
      });
    const std::uint32_t opensBefore = Bus.Calls("FT_OpenEx") + Bus.Calls("QN_OpenDevice");
    Click();
    ASSERT_TRUE(Settled());
    if (cell.Phase == phWrite) {
      EXPECT_TRUE(armed);
      EXPECT_EQ(writeFramesWhenArmed, 1u);
    }
    if (cell.Phase == phRefusal) {
      EXPECT_EQ(Bus.Calls("FT_OpenEx") + Bus.Calls("QN_OpenDevice"), opensBefore) << "the channel is never opened";
      EXPECT_EQ(Bus.FramesReceived("d", frame::cmdCloseFailure), 0u);
    }
    const bool holds = FlashHolds(Bus.Flash("d"), payload);
    if (cell.Outcome == oRemoved) {
      EXPECT_EQ(Listed(kSerial), nullptr);
      EXPECT_TRUE(Logged(DevPrefix(kSerial) + "Прибор отключен"));
    } else if (cell.Outcome == oIncompatible) {
      EXPECT_EQ(Status(), "Прошивка и прибор не совместимы");
      EXPECT_EQ(StatusColour(), QColor(255, 0, 0));
      EXPECT_TRUE(Logged(DevPrefix(kSerial) + "Прибор не совместим с данной версией прошивки"));
      EXPECT_EQ(Bus.FramesReceived("d", frame::cmdEraseV2), 0u);
    } else if (cell.Outcome == oLocked) {
      EXPECT_EQ(Status(), "Прибор заблокирован");
      EXPECT_EQ(StatusColour(), QColor(255, 0, 0));
      EXPECT_TRUE(Logged(DevPrefix(kSerial) + "Установлена блокировка изменения настроек"));
      EXPECT_EQ(Bus.FramesReceived("d", frame::cmdCloseFailure), 1u);
    } else if (cell.Outcome == 0) {
      EXPECT_EQ(Status(), kWriteSucceeded) << Lines().join('\n').toStdString();
      EXPECT_TRUE(holds);
      EXPECT_TRUE(SuccessLogged());
    } else {
      EXPECT_EQ(Status(), QStringLiteral("Ошибка %1 при обновлении прошивки").arg(cell.Outcome))
          << Lines().join('\n').toStdString();
      EXPECT_TRUE(LoggedPattern(DevPrefix(kSerial),
                                QString::fromUtf8(kAny) + QStringLiteral("Ошибка %1 при прошивке\\. Последний код ответа прибора \\d+").arg(cell.Outcome)));
    }
    // A success is checked against the flash above; a failure must never be logged as one.
    if (cell.Outcome != 0) {
      EXPECT_FALSE(SuccessLogged());
    }
  }
  for (const char* pattern : cell.DeviceLines)
    EXPECT_TRUE(LoggedPattern(DevPrefix(kSerial), QString::fromUtf8(pattern))) << pattern << "\n" << Lines().join('\n').toStdString();
  for (const char* pattern : cell.PlainLines)
    EXPECT_TRUE(LoggedPattern(kNoDevPrefix, QString::fromUtf8(pattern))) << pattern << "\n" << Lines().join('\n').toStdString();

  ExpectNoWorkerAndNoStrayRecord();
  ClearFaultsAndExpectListEqualsBus();
  if (cell.DropsOff) {
    EXPECT_EQ(Listed(kSerial), nullptr);
  }
  ExpectNoWorkerAndNoStrayRecord();
}

using TConfig = TSimDeviceConfig;

const TCell kCells[] = {
    // Listing.
    {"ListingErrorFtdi", phListing, saFtdi, [](TConfig& c) { c.ListingErrors = 1; }, oNotListed, {}, {"Ошибка в драйвере"}},
    {"ListingErrorQn", phListing, saQn, [](TConfig& c) { c.ListingErrors = 1; }, oNotListed, {}, {"Ошибка в драйвере"}},
    {"AnotherDescription", phListing, saFtdi, [](TConfig& c) { c.Description = "Velmarkon2"; }, oNotListed},
    {"DescriptionEmptyForAWhile", phListing, saFtdi, [](TConfig& c) { c.EmptyDescriptionListings = 3; }, oListed},
    {"DescriptionNeverComplete", phListing, saFtdi, [](TConfig& c) { c.EmptyDescriptionListings = -1; }, oNotListed},
    {"OpenRefusedFtdi", phListing, saFtdi, [](TConfig& c) { c.RefuseOpen = true; }, oScanError7},
    {"OpenRefusedQn", phListing, saQn, [](TConfig& c) { c.RefuseOpen = true; }, oScanError7},
    // Identity query of a boot loader.
    {"SilentIdentityFtdi", phIdentity, saFtdi, [](TConfig& c) { c.Silent = true; }, oScanError8},
    {"MissingFirstReplyQn", phIdentity, saQn, [](TConfig& c) { c.MissingReplies = 1; }, oScanError8},
    {"ShortVersionReply", phIdentity, saQn, [](TConfig& c) { c.ShortReplies = 1; }, oListed,
     {"Версия прошивки \\?\\?\\?\\?\\?", "Режим работы - Загрузчик"}},
    // An FTDI read takes what has arrived and never waits for the rest of a reply; a QN
    // read waits out the library's time-out and so joins the bursts.
    // The FTDI cells' gap lies far above any stall of a loaded machine: a reader held up
    // for as long as the gap would join the bursts and see one whole reply.
    {"SplitIdentityRepliesFtdi", phIdentity, saFtdi, [](TConfig& c) { c.SplitReplies = 3; c.SplitGapMs = kSplitGapMs; }, oScanError8},
    {"SplitIdentityRepliesQn", phIdentity, saQn, [](TConfig& c) { c.SplitReplies = 3; }, oListed,
     {"Версия прошивки VLQN-2\\.3", "Идентификатор процессора 0x25013F37"}},
    {"SlowIdentityReplies", phIdentity, saQn, [](TConfig& c) { c.ReplyDelayMs = 50; }, oListed,
     {"Идентификатор процессора 0x25013F37"}},
    {"UnpluggedAtFirstFrame", phIdentity, saFtdi, [](TConfig& c) { c.UnplugAfterFrames = 0; }, oScanError8, {}, {}, false, true},
    {"UnpluggedAfterVersion", phIdentity, saQn, [](TConfig& c) { c.UnplugAfterFrames = 1; }, oListed,
     {"Идентификатор процессора 0x00000000"}, {"Версия загрузчика \\?\\?\\?\\?\\?"}, false, true},
    // An application and its boot-loader start.
    {"ShortTextReplyIsAskedAgain", phIdentity, saQn, [](TConfig& c) { c.ShortReplies = 1; }, oListed,
     {"Команда запуска загрузчика обработана\\. Переподключите устройство\\."}, {}, true},
    {"UnpluggedAtBootLoaderStart", phBootStart, saQn, [](TConfig& c) { c.UnplugAfterFrames = 1; }, oListed,
     {"Прибор не ответил на команду запуска загрузчика\\.", "Режим работы - Прошивка"}, {}, true, true},
    {"SlowBootLoaderStart", phBootStart, saFtdi, [](TConfig& c) { c.ReplyDelayMs = 1500; }, oListed,
     {"Прибор не ответил на команду запуска загрузчика\\."}, {}, true},
    {"SplitBootLoaderStart", phBootStart, saFtdi, [](TConfig& c) { c.SplitReplies = 2; }, oListed,
     {"Команда запуска загрузчика обработана\\. Переподключите устройство\\."}, {}, true},
    // Refused before the channel opens.
    {"IncompatibleLoader", phRefusal, saFtdi, [](TConfig& c) { c.LoaderVersion = "VLQN-1.4"; }, oIncompatible},
    {"ErasedBytesOnly", phRefusal, saFtdi, [](TConfig&) {}, 4, {}, {}, false, false, false, TBytes(4096, 0xFF)},
    // Erase.
    {"LockedFtdi", phErase, saFtdi, [](TConfig& c) { c.Locked = true; }, oLocked},
    {"LockedQn", phErase, saQn, [](TConfig& c) { c.Locked = true; }, oLocked},
    {"ProtectedSector", phErase, saQn, [](TConfig& c) { c.ProtectedSectors = {10}; }, 11,
     {"\\( *\\d+\\) Сектор защищен от стирания", "\\( *\\d+\\) Сектор защищен от записи"}},
    {"WrongSectorInEraseReply", phErase, saFtdi, [](TConfig& c) { c.WrongSectorReplies = 1; }, 5,
     {"\\( *\\d+\\) Стирание сектора 10: Ошибка!"}},
    {"WrongAddressInEraseReplyIsNotCompared", phErase, saQn, [](TConfig& c) { c.WrongAddressReplies = 1; }, 0},
    {"ShortEraseReplyIsSentAgain", phErase, saFtdi, [](TConfig& c) { c.ShortReplies = 1; }, 0},
    {"ShortEraseRepliesThriceQn", phErase, saQn, [](TConfig& c) { c.ShortReplies = 3; }, 5},
    {"ShortEraseRepliesThriceFtdi", phErase, saFtdi, [](TConfig& c) { c.ShortReplies = 3; }, 5},
    {"MissingEraseReplyIsSentAgain", phErase, saQn, [](TConfig& c) { c.MissingReplies = 1; }, 0},
    {"MissingEraseRepliesThrice", phErase, saFtdi, [](TConfig& c) { c.MissingReplies = 3; }, 5},
    {"SplitSectorRepliesFtdi", phErase, saFtdi, [](TConfig& c) { c.SplitReplies = 4; c.SplitGapMs = kSplitGapMs; }, 5},
    {"SplitSectorRepliesQn", phErase, saQn, [](TConfig& c) { c.SplitReplies = 4; }, 0},
    {"SlowSectorReplies", phErase, saQn, [](TConfig& c) { c.ReplyDelayMs = 150; }, 0},
    {"SilentAtErase", phErase, saFtdi, [](TConfig& c) { c.Silent = true; }, 5},
    {"UnpluggedAtErase", phErase, saQn, [](TConfig& c) { c.UnplugAfterFrames = 0; }, 5, {}, {}, false, true},
    {"OpenRefusedForWrite", phErase, saFtdi, [](TConfig& c) { c.RefuseOpen = true; }, 7,
     {"Не удалось открыть устройство"}},
    // Write.
    {"WrongAddressInWriteReply", phErase, saFtdi, [](TConfig& c) { c.WrongAddressReplies = 2; }, 6,
     {"\\( *\\d+\\) Ошибка при записи сектора 10 \\(14, 14, 128, 10, 41472\\)"}},
    {"WrongSectorMidWrite", phWrite, saQn, [](TConfig& c) { c.WrongSectorReplies = 1; }, 6},
    {"SilentMidWrite", phWrite, saQn, [](TConfig& c) { c.Silent = true; }, 6},
    {"MissingRepliesMidWrite", phWrite, saFtdi, [](TConfig& c) { c.MissingReplies = 3; }, 6},
    {"ShortReplyMidWrite", phWrite, saQn, [](TConfig& c) { c.ShortReplies = 1; }, 0},
    {"SplitRepliesMidWriteFtdi", phWrite, saFtdi, [](TConfig& c) { c.SplitReplies = 4; c.SplitGapMs = kSplitGapMs; }, 6},
    {"SplitRepliesMidWriteQn", phWrite, saQn, [](TConfig& c) { c.SplitReplies = 4; }, 0},
    {"SlowRepliesMidWrite", phWrite, saQn, [](TConfig& c) { c.ReplyDelayMs = 100; }, 0},
    {"LockedMidWrite", phWrite, saFtdi, [](TConfig& c) { c.Locked = true; }, oLocked},
    {"ProtectedMidWrite", phWrite, saFtdi, [](TConfig& c) { c.ProtectedSectors = {11}; }, 11},
    {"UnpluggedMidWrite", phWrite, saQn, [](TConfig& c) { c.UnplugAfterFrames = 0; }, 6, {}, {}, false, true},
    // A failed listing says nothing about the devices: the write goes on.
    {"ListingErrorDuringWrite", phWrite, saFtdi, [](TConfig& c) { c.ListingErrors = 1; }, 0,
     {}, {"Ошибка в драйвере"}, false, false, true},
    // The closing frame: its reply is not waited for, so a write done stays done.
    {"UnpluggedAtClosingFrameQn", phClosing, saQn, [](TConfig& c) { c.UnplugAfterFrames = 18; }, 0, {}, {}, false, true},
    {"UnpluggedAtClosingFrameFtdi", phClosing, saFtdi, [](TConfig& c) { c.UnplugAfterFrames = 18; }, 0, {}, {}, false, true},
};

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(kCells),
                         [](const ::testing::TestParamInfo<TCell>& cellInfo) { return std::string(cellInfo.param.Name); });

}  // namespace
