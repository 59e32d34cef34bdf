#include "cli/stationoptions.h"

#include <gtest/gtest.h>

namespace {

TStationParse Parse(std::vector<std::string> words) { return ParseStationArguments(words); }

}  // namespace

TEST(StationOptions, CommandsAndTheirOptions) {
  const TStationParse write = Parse({"write", "--image", "a.eraw", "--serial", "5", "--serial", "-7",
                                     "--timeout", "9", "--json", "--report", "r.csv", "--no-log"});
  ASSERT_TRUE(write.Options) << write.Error;
  EXPECT_EQ(write.Options->Command, TStationCommand::Write);
  EXPECT_EQ(write.Options->Image, "a.eraw");
  EXPECT_EQ(write.Options->Serials, (std::vector<std::int32_t>{5, -7}));
  EXPECT_EQ(write.Options->Count, 2);  // the named devices, all of them
  EXPECT_EQ(write.Options->TimeoutSeconds, 9);
  EXPECT_TRUE(write.Options->Json);
  EXPECT_EQ(write.Options->Report, "r.csv");
  EXPECT_FALSE(write.Options->Log);

  const TStationParse counted = Parse({"write", "--serial", "5", "--serial", "6", "--serial", "7", "--count", "2"});
  ASSERT_TRUE(counted.Options);
  EXPECT_EQ(counted.Options->Count, 2);  // any two of the three

  const TStationParse info = Parse({"info", "x.eraw", "--json"});
  ASSERT_TRUE(info.Options);
  EXPECT_EQ(info.Options->Command, TStationCommand::Info);
  EXPECT_EQ(info.Options->Image, "x.eraw");

  const TStationParse list = Parse({"list"});
  ASSERT_TRUE(list.Options);
  EXPECT_EQ(list.Options->Command, TStationCommand::List);
  EXPECT_TRUE(list.Options->Log);
  const TStationParse quietList = Parse({"list", "--no-log"});
  ASSERT_TRUE(quietList.Options);
  EXPECT_FALSE(quietList.Options->Log);
}

TEST(StationOptions, WhatMakesNoSenseIsRefusedWithAReason) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"flash"},
      {"write", "--serial"},
      {"write", "--serial", "12x"},
      {"write", "--serial", "99999999999"},
      {"write", "--count", "0"},
      {"write", "--timeout", "-1"},
      {"write", "--image"},
      {"watch", "--serial", "5"},   // the station writes whatever comes
      {"list", "--image", "a.eraw"},
      {"info"},
      {"info", "a", "b"},
      {"info", "a", "--no-log"},  // info writes no log anyway
      {"write", "--serial", "5", "--serial", "5"},
      {"write", "--serial", "5", "--serial", "6", "--count", "3"},  // could only time out
      {"write", "--bogus"},
  };
  for (const auto& words : cases) {
    std::string shown;
    for (const auto& word : words) shown += word + ' ';
    const TStationParse parse = Parse(words);
    EXPECT_FALSE(parse.Options) << shown;
    EXPECT_FALSE(parse.Error.empty()) << shown;
  }
}
