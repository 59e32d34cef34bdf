#pragma once
#include <gtest/gtest.h>

#include "link/driverlibs.h"
#include "sim/simbus.h"

// Tests that reach simulated devices through the stand-in driver libraries, loaded as the
// program loads the real ones; every test starts with an empty bus of its own.
class TSimBusTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_NE(LoadFtdiDriver(), nullptr);
    ASSERT_NE(LoadQnDriver(), nullptr);
  }

  void SetUp() override {
    Bus.AttachFile("");
    Bus.Clear();
  }

  TSimBus& Bus = TSimBus::Instance();
};
