#include "link/driverlibs.h"

#include <gtest/gtest.h>

#include "link/driverlibs_p.h"
#include "support/testplatform.h"

namespace {

template <class TApi>
int Resolved(const TApi& api) {
  const auto* slots = reinterpret_cast<const void* const*>(&api);
  int count = 0;
  for (std::size_t i = 0; i < sizeof(TApi) / sizeof(void*); ++i) count += slots[i] != nullptr;
  return count;
}

bool StillLoaded(const char* path) { return LibraryStillLoaded(path); }

}  // namespace

TEST(ResolveDriver, CompleteLibrariesResolveEveryName) {
  TFtdiApi ftdi;
  EXPECT_NE(ResolveFtdiDriver(VL_FTDI_STANDIN, ftdi), nullptr);
  EXPECT_EQ(Resolved(ftdi), 21);
  TQnApi qn;
  EXPECT_NE(ResolveQnDriver(VL_QN_STANDIN, qn), nullptr);
  EXPECT_EQ(Resolved(qn), 7);
}

TEST(ResolveDriver, AMissingFileIsAMissingLibrary) {
  TFtdiApi ftdi;
  EXPECT_EQ(ResolveFtdiDriver("/nonexistent/libftd2xx.so", ftdi), nullptr);
  EXPECT_EQ(Resolved(ftdi), 0);
  TQnApi qn;
  EXPECT_EQ(ResolveQnDriver("libVLUSB-not-installed.so", qn), nullptr);
}

TEST(ResolveDriver, ALibraryLackingOneNameIsMissingAndReleased) {
  struct TCase {
    const char* Path;
    bool Ftdi;
    int FoundBeforeTheGap;
  };
  // The names are looked up in order: those before the missing one are found, then the
  // library is let go at once.
  for (const TCase& c : {TCase{VL_FTDI_NO_RESCAN, true, 20}, TCase{VL_FTDI_NO_LISTDEVICES, true, 0},
                         TCase{VL_QN_NO_PURGE, false, 5}}) {
    if (c.Ftdi) {
      TFtdiApi api;
      EXPECT_EQ(ResolveFtdiDriver(c.Path, api), nullptr) << c.Path;
      EXPECT_EQ(Resolved(api), c.FoundBeforeTheGap) << c.Path;
    } else {
      TQnApi api;
      EXPECT_EQ(ResolveQnDriver(c.Path, api), nullptr) << c.Path;
      EXPECT_EQ(Resolved(api), c.FoundBeforeTheGap) << c.Path;
    }
    EXPECT_FALSE(StillLoaded(c.Path)) << c.Path;
  }
}

TEST(LoadDriver, FindsTheLibrariesByBareNameAndKeepsThem) {
  // The stand-ins sit in the test's own bin directory, which its run path names.
  void* ftdi = LoadFtdiDriver();
  ASSERT_NE(ftdi, nullptr);
  EXPECT_TRUE(FtdiDriverLoaded());
  EXPECT_EQ(LoadFtdiDriver(), ftdi);
  EXPECT_EQ(Resolved(FtdiDriver().Api), 21);
  void* qn = LoadQnDriver();
  ASSERT_NE(qn, nullptr);
  EXPECT_TRUE(QnDriverLoaded());
  EXPECT_EQ(LoadQnDriver(), qn);
}
