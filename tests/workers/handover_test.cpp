#include "workers/handover.h"

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#ifdef __linux__
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#endif
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

// An owner that says when a hand-over has registered with it: that happens on the
// worker's thread just before the work is queued and the drain posted.
class TWatchedOwner : public QObject {
public:
  std::atomic<bool> Registered{false};

protected:
  void connectNotify(const QMetaMethod& signal) override {
    if (signal == QMetaMethod::fromSignal(&QObject::destroyed)) Registered = true;
  }
};

#ifdef __linux__
// Whether the thread sleeps in the kernel: after registering, the only sleep on the
// worker's way is its wait for the owner.
bool ThreadSleeps(long tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t name = text.rfind(')');
  return name != std::string::npos && name + 2 < text.size() && text[name + 2] == 'S';
}
#endif

// The owner goes while a worker waits for it with the work still queued (its event
// loop never ran the drain): the worker must be let go, its work unrun, rather than wait
// for ever.
TEST(HandOverTest, AWaitingWorkerIsReleasedWhenItsOwnerGoesWithTheWorkUnrun) {
  auto* owner = new TWatchedOwner;
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  std::atomic<long> workerTid{0};
  std::thread worker([&] {
#ifdef __linux__
    workerTid = static_cast<long>(::syscall(SYS_gettid));
#endif
    HandOver(*owner, [&] { ran = true; });
    returned = true;
  });
  // No event of this thread runs meanwhile, so the drain stays queued.
  while (!owner->Registered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
#ifdef __linux__
  while (workerTid == 0 || !ThreadSleeps(workerTid))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#else
  // Elsewhere no thread's state can be read: a margin for the few steps from
  // registering to the wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
#endif
  EXPECT_FALSE(returned);
  delete owner;
  const bool released = WaitUntil([&] { return returned.load(); }, 60000);
  if (!released) {
    worker.detach();  // still waiting: it cannot be joined
    FAIL() << "the worker still waits for an owner that is gone";
  }
  worker.join();
  EXPECT_FALSE(ran);
}

}  // namespace
