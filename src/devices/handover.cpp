#include "devices/handover.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

// The hand-overs waiting for one owner. Workers queue their work and wait; the owner's
// thread runs everything queued so far at one go and releases the workers with one
// notification. So a busy owner is woken once per batch, not once per entry: with
// several workers logging, waking the owner thread for each line cost more than the
// line itself.
struct THandOverQueue {
  struct TItem {
    const std::function<void()>* Work;
    bool Finished = false;
  };

  std::mutex Lock;
  std::condition_variable Finished;
  std::vector<TItem*> Items;  // each lives on its waiting worker's stack
  bool DrainPosted = false;

  // On the owner's thread: runs what is queued now. What comes later is posted anew, so
  // a stream of hand-overs never keeps the owner's event loop from its other events.
  void Drain() {
    std::vector<TItem*> batch;
    {
      std::lock_guard guard(Lock);
      batch.swap(Items);
      DrainPosted = false;
    }
    for (TItem* item : batch) (*item->Work)();
    Finish(batch);
  }

  // The drain was dropped unrun (its receiver gone): the waits end all the same.
  void Drop() {
    std::vector<TItem*> batch;
    {
      std::lock_guard guard(Lock);
      batch.swap(Items);
      DrainPosted = false;
    }
    Finish(batch);
  }

  void Finish(const std::vector<TItem*>& batch) {
    if (batch.empty()) return;
    {
      std::lock_guard guard(Lock);
      for (TItem* item : batch) item->Finished = true;
    }
    Finished.notify_all();
  }
};

// Runs the drain when the owner's thread calls it; dropped unrun, it still frees the
// waiting workers.
class TDrainCall {
public:
  explicit TDrainCall(std::shared_ptr<THandOverQueue> queue) : Queue(std::move(queue)) {}
  TDrainCall(const TDrainCall&) = delete;
  TDrainCall& operator=(const TDrainCall&) = delete;
  ~TDrainCall() {
    if (!Ran) Queue->Drop();
  }
  void Run() {
    Ran = true;
    Queue->Drain();
  }

private:
  std::shared_ptr<THandOverQueue> Queue;
  bool Ran = false;
};

// One queue per owner for the owner's lifetime. The registry is never freed, so an
// owner destroyed during the process's exit still finds it.
std::shared_ptr<THandOverQueue> QueueOf(QObject& owner) {
  static auto* lock = new std::mutex;
  static auto* queues = new std::unordered_map<const QObject*, std::shared_ptr<THandOverQueue>>;
  std::lock_guard guard(*lock);
  std::shared_ptr<THandOverQueue>& queue = (*queues)[&owner];
  if (!queue) {
    queue = std::make_shared<THandOverQueue>();
    QObject::connect(&owner, &QObject::destroyed, [key = &owner] {
      std::lock_guard destroyedGuard(*lock);
      queues->erase(key);
    });
  }
  return queue;
}

}  // namespace

void HandOver(QObject& owner, const std::function<void()>& work) {
  if (QThread::currentThread() == owner.thread()) {
    work();
    return;
  }
  // A mutex and a condition the thread sanitizer can see, rather than a blocking
  // connection, whose wait lies inside the toolkit's semaphores.
  const std::shared_ptr<THandOverQueue> queue = QueueOf(owner);
  THandOverQueue::TItem item{&work};
  std::unique_lock guard(queue->Lock);
  queue->Items.push_back(&item);
  if (!queue->DrainPosted) {
    queue->DrainPosted = true;
    guard.unlock();
    auto call = std::make_shared<TDrainCall>(queue);
    QMetaObject::invokeMethod(&owner, [call] { call->Run(); }, Qt::QueuedConnection);
    call.reset();
    guard.lock();
  }
  queue->Finished.wait(guard, [&] { return item.Finished; });
}
