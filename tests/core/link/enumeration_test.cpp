#include "link/enumeration.h"

#include <gtest/gtest.h>

#include "model/deventry.h"
#include "fakedriver.h"
#include "protocol/logsink.h"

namespace {

struct TLogEntry {
  TLogLevel Level;
  std::int32_t Serial;
  std::string Text;
  bool operator==(const TLogEntry&) const = default;
};

class TRecordingLog : public TLogSink {
public:
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override {
    Entries.push_back({level, serial, text});
  }
  std::vector<TLogEntry> Entries;
};

constexpr TAdapterKind kFtdi = TAdapterKind::Ftdi;
constexpr TAdapterKind kQn = TAdapterKind::Qn;
const TLogEntry kDriverError{llError, 0, "Ошибка в драйвере"};

struct TListed {
  std::int32_t Serial;
  std::uint16_t DeviceCode;
  TAdapterKind AdapterKind;
  bool operator==(const TListed&) const = default;
};

std::vector<TListed> Listed(const TDevEntryList& list) {
  std::vector<TListed> listed;
  for (const auto& device : list)
    listed.push_back({device->SerialNumber, device->DeviceCode, device->AdapterKind});
  return listed;
}

std::ptrdiff_t CountOf(const std::vector<std::string>& events, const std::string& prefix) {
  return std::count_if(events.begin(), events.end(),
                       [&](const std::string& e) { return e.starts_with(prefix); });
}

}  // namespace

TEST(EnumFtdiDevices, KeepsOnlyTheExactDescriptionInLibraryOrder) {
  TFakeScope fake;
  fake.Libs.FtdiListings = {{{"11", "Velmarkon"},
                             {"12", "velmarkon"},
                             {"13", "Velmarkon "},
                             {"14", "VelmarkonX"},
                             {"15", "FT232R USB UART"},
                             {"x7", "Velmarkon"},
                             {"16", "Velmarkon"}}};
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{11, 0xFFFF, kFtdi}, {-1, 0xFFFF, kFtdi}, {16, 0xFFFF, kFtdi}}));
  EXPECT_TRUE(log.Entries.empty());
  EXPECT_EQ(fake.Libs.Events, (std::vector<std::string>{"FT_CreateDeviceInfoList",
                                                        "FT_GetDeviceInfoList 7"}));
}

TEST(EnumFtdiDevices, NoDeviceMeansOneCallAndNoMessage) {
  TFakeScope fake;
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erListed);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(fake.Libs.Events, std::vector<std::string>{"FT_CreateDeviceInfoList"});
}

TEST(EnumFtdiDevices, DriverErrorsAreLoggedAndListNothing) {
  for (int failing : {0, 1}) {
    TFakeScope fake;
    fake.Libs.FtdiListings = {{{"11", "Velmarkon"}}};
    (failing == 0 ? fake.Libs.CreateStatus : fake.Libs.GetListStatus) = 4;
    TDevEntryList list;
    TRecordingLog log;
    EXPECT_EQ(EnumFtdiDevices(list, log), erDriverError);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.Entries, std::vector<TLogEntry>{kDriverError});
  }
}

TEST(EnumFtdiDevices, RetriesWhileADescriptionIsEmpty) {
  TFakeScope fake;
  const std::vector<TFakeNode> incomplete = {{"11", "Velmarkon"}, {"12", ""}};
  const std::vector<TFakeNode> complete = {{"11", "Velmarkon"}, {"12", "Velmarkon"}};
  fake.Libs.FtdiListings = {incomplete, incomplete, incomplete, complete};
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{11, 0xFFFF, kFtdi}, {12, 0xFFFF, kFtdi}}));
  EXPECT_EQ(CountOf(fake.Libs.Events, "FT_CreateDeviceInfoList"), 4);
  EXPECT_EQ(CountOf(fake.Libs.Events, "sleep 100"), 3);
}

TEST(EnumFtdiDevices, GivesUpAfterFiftyTriesWithNoDeviceAndNoMessage) {
  TFakeScope fake;
  fake.Libs.FtdiListings = {{{"11", "Velmarkon"}, {"12", ""}}};
  const std::uint32_t start = fake.Libs.Now;
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erIncomplete);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(log.Entries.empty());
  EXPECT_EQ(CountOf(fake.Libs.Events, "FT_CreateDeviceInfoList"), 50);
  // The last try is followed by its pause too.
  EXPECT_EQ(CountOf(fake.Libs.Events, "sleep 100"), 50);
  EXPECT_EQ(fake.Libs.Now - start, 5000u);
}

TEST(EnumFtdiDevices, FieldsWithoutTerminatorAndOverlongCountsStayInBounds) {
  TFakeScope fake;
  // 16 characters fill the serial field with no zero after them; the text ends with the
  // field, it does not run on into the description.
  fake.Libs.FtdiListings = {{{"0000000000000042", "Velmarkon"}, {"7", "Velmarkon"}}};
  fake.Libs.FilledOverride = 100000;  // the library claims more records than it was given
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{42, 0xFFFF, kFtdi}, {7, 0xFFFF, kFtdi}}));
}

TEST(EnumQnDevices, TwoCallsWithTheCountInAndOut) {
  TFakeScope fake;
  fake.Libs.QnAnnounced = 2;
  fake.Libs.QnRecords = {{0x0102, "501"}, {0xBEEF, "abc"}};
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{501, 0x0102, kQn}, {-1, 0xBEEF, kQn}}));
  EXPECT_EQ(fake.Libs.Events, (std::vector<std::string>{"QN_GetListDevices 65535 null 5",
                                                        "QN_GetListDevices 65535 buffer 2"}));
}

TEST(EnumQnDevices, CountZeroEndsTheListingAfterOneCall) {
  TFakeScope fake;
  fake.Libs.QnAnnounced = 0;
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(fake.Libs.Events.size(), 1u);
}

TEST(EnumQnDevices, YieldsOnlyTheRecordsFilled) {
  TFakeScope fake;
  fake.Libs.QnAnnounced = 3;
  fake.Libs.QnRecords = {{1, "10"}};
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{10, 1, kQn}}));
}

TEST(EnumQnDevices, ABrokenLibraryCannotMakeItReadPastTheBlock) {
  TFakeScope fake;
  fake.Libs.QnAnnounced = 1;
  // 21 characters fill the serial field of the only record in the block; the count
  // stored back claims more records than the block holds.
  fake.Libs.QnRecords = {{1, "000000000000000000042"}, {2, "2"}};
  fake.Libs.FilledOverride = 7;
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{42, 1, kQn}}));
}

TEST(EnumQnDevices, AnAbsurdCountIsCapped) {
  TFakeScope fake;
  fake.Libs.QnAnnounced = 0xFFFFFFFFu;
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(fake.Libs.Events.back(), "QN_GetListDevices 65535 buffer 1024");
}

TEST(EnumQnDevices, DriverErrorsAreLoggedAndListNothing) {
  for (int failing : {0, 1}) {
    TFakeScope fake;
    fake.Libs.QnAnnounced = 1;
    fake.Libs.QnRecords = {{1, "10"}};
    fake.Libs.QnListStatus[failing] = 7;
    TDevEntryList list;
    TRecordingLog log;
    EXPECT_EQ(EnumQnDevices(list, log), erDriverError);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.Entries, std::vector<TLogEntry>{kDriverError});
    EXPECT_EQ(fake.Libs.Events.size(), static_cast<std::size_t>(failing + 1));
  }
}

TEST(Enumeration, FtdiDevicesComeFirstAndAMissingLibraryListsNothing) {
  TFakeScope fake;
  fake.Libs.FtdiListings = {{{"1", "Velmarkon"}, {"2", "Velmarkon"}}};
  fake.Libs.QnAnnounced = 1;
  fake.Libs.QnRecords = {{5, "3"}};
  TDevEntryList list;
  TRecordingLog log;
  EXPECT_EQ(EnumFtdiDevices(list, log), erListed);
  EXPECT_EQ(EnumQnDevices(list, log), erListed);
  EXPECT_EQ(Listed(list), (std::vector<TListed>{{1, 0xFFFF, kFtdi}, {2, 0xFFFF, kFtdi}, {3, 5, kQn}}));

  TFakeScope unloaded(false, false);
  TDevEntryList none;
  EXPECT_EQ(EnumFtdiDevices(none, log), erNotLoaded);
  EXPECT_EQ(EnumQnDevices(none, log), erNotLoaded);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(unloaded.Libs.Events.empty());
}
