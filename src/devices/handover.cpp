#include "devices/handover.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <memory>
#include <mutex>
#include <semaphore>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kDrainBudget{2};

// The hand-overs waiting for one owner. Workers queue their work and sleep; the owner's
// thread runs everything queued so far at one go and wakes each worker directly. So a
// busy owner is posted to once per batch, not once per entry, and a worker is woken
// only when its own work has run: with several workers logging, waking the owner
// thread and every worker for each line cost more than the line itself.
struct THandOverQueue {
  // Lives on the waiting worker's stack; once Done is released the worker may return,
  // so nothing touches the item after that.
  struct TItem {
    const std::function<void()>* Work;
    std::binary_semaphore Done{0};
  };

  std::mutex Lock;
  std::vector<TItem*> Items;
  bool DrainPosted = false;

  // On the owner's thread: runs what is queued, and what the workers queue meanwhile,
  // for at most kDrainBudget; true when work is left for another call. The budget keeps
  // a stream of hand-overs from holding the owner's event loop from its other events.
  bool Drain() {
    const auto until = std::chrono::steady_clock::now() + kDrainBudget;
    for (;;) {
      std::vector<TItem*> batch;
      {
        std::lock_guard guard(Lock);
        if (Items.empty()) {
          DrainPosted = false;
          return false;
        }
        batch.swap(Items);
      }
      Run(batch);
      if (std::chrono::steady_clock::now() >= until) {
        std::lock_guard guard(Lock);
        DrainPosted = !Items.empty();
        return DrainPosted;
      }
    }
  }

  static void Run(const std::vector<TItem*>& batch) {
    std::size_t done = 0;
    try {
      for (; done < batch.size(); ++done) {
        (*batch[done]->Work)();
        batch[done]->Done.release();
      }
    } catch (...) {
      // The workers still waiting must not wait for ever.
      for (; done < batch.size(); ++done) batch[done]->Done.release();
      throw;
    }
  }

  // The drain was dropped unrun (its receiver gone): the waits end all the same.
  void Drop() {
    std::vector<TItem*> batch;
    {
      std::lock_guard guard(Lock);
      batch.swap(Items);
      DrainPosted = false;
    }
    for (TItem* item : batch) item->Done.release();
  }
};

// The posted call that drains the queue on the owner's thread; dropped unrun, it still
// frees the waiting workers. Move-only, so it is destroyed where the owner's thread
// runs or discards it, never on a worker.
class TDrainCall {
public:
  TDrainCall(QObject& owner, std::shared_ptr<THandOverQueue> queue)
      : Owner(&owner), Queue(std::move(queue)) {}
  TDrainCall(TDrainCall&& other) noexcept : Owner(other.Owner), Queue(std::move(other.Queue)) {}
  TDrainCall(const TDrainCall&) = delete;
  TDrainCall& operator=(const TDrainCall&) = delete;
  TDrainCall& operator=(TDrainCall&&) = delete;
  ~TDrainCall() {
    if (Queue && !Ran) Queue->Drop();
  }
  void operator()() {
    Ran = true;
    if (Queue->Drain()) Post(*Owner, Queue);
  }

  static void Post(QObject& owner, const std::shared_ptr<THandOverQueue>& queue) {
    QMetaObject::invokeMethod(&owner, TDrainCall(owner, queue), Qt::QueuedConnection);
  }

private:
  QObject* Owner;
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
  // A mutex and a semaphore the thread sanitizer can see, rather than a blocking
  // connection, whose wait lies inside the toolkit's semaphores.
  const std::shared_ptr<THandOverQueue> queue = QueueOf(owner);
  THandOverQueue::TItem item{&work};
  bool post = false;
  {
    std::lock_guard guard(queue->Lock);
    queue->Items.push_back(&item);
    post = !queue->DrainPosted;
    queue->DrainPosted = true;
  }
  if (post) TDrainCall::Post(owner, queue);
  item.Done.acquire();
}
