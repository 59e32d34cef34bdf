#pragma once
// The window offscreen against simulated devices, with the checks every reliability test
// ends with: no worker left running, no device record leaked, the device list equal to
// the bus, and never a success reported for a flash that does not hold the image.
#include <QFile>
#include <QSet>

#include "e2e/e2efixture.h"
#include "packer.h"

using TBytes = std::vector<std::uint8_t>;

inline QString DevPrefix(int serial) { return QStringLiteral("Прибор %1\t").arg(serial, 7); }
inline const QString kNoDevPrefix = QStringLiteral("Прибор -------\t");
inline const QString kWriteSucceeded = QStringLiteral("Обновление прошивки завершено успешно");

// The image's payload stands in flash from the first writable sector on (0xA000 for the
// processors the tests use).
inline bool FlashHolds(const std::optional<TBytes>& flash, const TBytes& payload,
                       std::size_t at = 0xA000) {
  return flash && flash->size() >= at + payload.size() &&
         std::equal(payload.begin(), payload.end(), flash->begin() + static_cast<std::ptrdiff_t>(at));
}

class TReliabilityTest : public E2ETest {
protected:
  void TearDown() override {
    if (Form) CloseAndCheckNothingLeft();
    E2ETest::TearDown();
  }


  TMainForm& StartWithFile(const QString& path) {
    TMainForm& form = Start({"externfirmware"});
    form.SetFileBoxText(path);
    return form;
  }

  // Listings either library has answered so far: a scan that lists both has enumerated.
  std::uint32_t Listings() { return Bus.Calls("QN_GetListDevices"); }

  // Waits for a scan that starts after `listingsBefore` to be merged.
  ::testing::AssertionResult WaitForScanAfter(std::uint32_t listingsBefore) {
    if (WaitUntil([&] { return Listings() > listingsBefore && !Form->Controller().ScanRunning(); }, 60000))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no scan merged in time\n" << Lines().join('\n').toStdString();
  }
  // The system reports a change and the scan it causes is merged.
  ::testing::AssertionResult Rescan() {
    const std::uint32_t before = Listings();
    Notify();
    return WaitForScanAfter(before);
  }

  ::testing::AssertionResult Settled() {
    if (WaitUntil([&] { return !Form->Controller().ScanRunning() && Form->Controller().WritesRunning() == 0; }, 60000))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "workers still running\n" << Lines().join('\n').toStdString();
  }

  // The serial numbers of the plugged bus devices the window can see.
  QSet<int> BusSerials() {
    QSet<int> serials;
    for (const std::string& name : Bus.Names()) {
      const auto config = Bus.Config(name);
      if (config && config->Plugged && (config->Adapter == saQn || config->Description == "Velmarkon"))
        serials << SerialNumberFromText(config->Serial);
    }
    return serials;
  }
  QSet<int> ListedSerials() {
    QSet<int> serials;
    for (const auto id : Form->Controller().Devices())
      serials << Form->Controller().Device(id)->SerialNumber;
    return serials;
  }

  // Every listed device that reports a successful write holds the payload.
  void ExpectSuccessOnlyWithImage(const TBytes& payload) {
    for (const std::string& name : Bus.Names()) {
      const auto config = Bus.Config(name);
      const int serial = SerialNumberFromText(config->Serial);
      TFWLoaderDevGroup* panel = Panel(serial);
      if (panel && panel->lblMessage->text() == kWriteSucceeded) {
        EXPECT_TRUE(FlashHolds(Bus.Flash(name), payload)) << name << ": success reported, image not in flash";
      }
    }
  }

  // No worker runs, and the records alive are exactly those of the device list.
  void ExpectNoWorkerAndNoStrayRecord() {
    ASSERT_TRUE(Settled());
    EXPECT_FALSE(Form->Controller().ScanRunning());
    EXPECT_EQ(Form->Controller().WritesRunning(), 0);
    for (const auto id : Form->Controller().Devices()) EXPECT_FALSE(Form->Controller().IsWriting(id));
    EXPECT_EQ(TDevEntry::LiveCountForTests(), static_cast<int>(Form->Controller().Devices().size()));
  }

  // With every fault switched off, one more scan makes the list equal the bus.
  void ClearFaultsAndExpectListEqualsBus() {
    for (const std::string& name : Bus.Names())
      Bus.Configure(name, [](TSimDeviceConfig& c) {
        c.Silent = c.Locked = c.RefuseOpen = false;
        c.ProtectedSectors.clear();
        c.WrongSectorReplies = c.WrongAddressReplies = c.ShortReplies = c.MissingReplies = 0;
        c.SplitReplies = c.EmptyDescriptionListings = c.ListingErrors = 0;
        c.ReplyDelayMs = 0;
        c.UnplugAfterFrames = -1;
      });
    ASSERT_TRUE(Settled());
    ASSERT_TRUE(Rescan());
    ASSERT_TRUE(Settled());
    EXPECT_EQ(ListedSerials(), BusSerials()) << Lines().join('\n').toStdString();
  }

  // Closing the window ends every worker and frees every record.
  void CloseAndCheckNothingLeft() {
    Form.reset();
    EXPECT_EQ(TDevEntry::LiveCountForTests(), 0);
    for (const std::string& name : Bus.Names()) EXPECT_FALSE(Bus.IsOpen(name)) << name;
  }
};
