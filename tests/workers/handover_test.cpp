#include "workers/handover.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "support/waituntil.h"

namespace {

// Many workers handing over at once, each waiting for its own work: a lost wake-up
// leaves a worker waiting for ever, which the bounded wait below reports instead of
// hanging the suite.
TEST(HandOverTest, ManyWorkersEachSeeTheirWorkRunOnTheOwnerThreadInOrder) {
  constexpr int kWorkers = 4;
  constexpr int kHandOvers = 20000;
  QObject owner;
  std::vector<int> next(kWorkers, 0);  // touched only on the owner's thread
  std::atomic<int> outOfOrder{0};
  std::atomic<int> offThread{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kHandOvers; ++i) {
        HandOver(owner, [&, w, i] {
          if (QThread::currentThread() != owner.thread()) ++offThread;
          if (next[w] != i) ++outOfOrder;
          next[w] = i + 1;
        });
      }
      ++finished;
    });
  }
  const bool allDone = WaitUntil([&] { return finished == kWorkers; }, 300000);
  if (!allDone) {
    // Workers still waiting cannot be joined; the process must not try.
    for (std::thread& worker : workers) worker.detach();
    FAIL() << "workers still waiting for their hand-over: " << kWorkers - finished;
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_EQ(offThread, 0);
  for (int w = 0; w < kWorkers; ++w) EXPECT_EQ(next[w], kHandOvers) << "worker " << w;
}

TEST(HandOverTest, OnTheOwnerThreadTheWorkRunsAtOnce) {
  QObject owner;
  bool ran = false;
  HandOver(owner, [&] { ran = true; });
  EXPECT_TRUE(ran);
}

}  // namespace
