#include "workers/handover.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kDrainBudget{2};

// What a worker sleeps on until the owner's thread has run its work. A plain mutex and
// condition variable, checked under the mutex: std::binary_semaphore of MinGW's C++
// library (no futex on Windows) loses a wake-up now and then, and a worker then waits for
// ever. Waiters are never freed, only handed back to a pool: the owner's thread may still
// be inside the unlock of Release() when the worker has already returned, so nothing the
// worker owns may be touched by it.
class TWaiter {
public:
  static TWaiter& Take() {
    std::lock_guard guard(PoolLock());
    std::vector<TWaiter*>& pool = Pool();
    if (pool.empty()) return *new TWaiter;
    TWaiter* waiter = pool.back();
    pool.pop_back();
    return *waiter;
  }

  // The worker's side: sleeps until Release, then gives the waiter back.
  void WaitAndGiveBack() {
    {
      std::unique_lock guard(Lock);
      Woken.wait(guard, [this] { return Done; });
      Done = false;
    }
    std::lock_guard guard(PoolLock());
    Pool().push_back(this);
  }

  // The owner's side; the last touch of anything the waiting worker uses.
  void Release() {
    std::lock_guard guard(Lock);
    Done = true;
    Woken.notify_one();
  }

private:
  TWaiter() = default;
  static std::mutex& PoolLock() {
    static auto* lock = new std::mutex;
    return *lock;
  }
  static std::vector<TWaiter*>& Pool() {
    static auto* pool = new std::vector<TWaiter*>;
    return *pool;
  }

  std::mutex Lock;
  std::condition_variable Woken;
  bool Done = false;
};

// The hand-overs waiting for one owner. Workers queue their work and sleep; the owner's
// thread runs everything queued so far at one go and wakes each worker directly. So a
// busy owner is posted to once per batch, not once per entry, and a worker is woken
// only when its own work has run: with several workers logging, waking the owner
// thread and every worker for each line cost more than the line itself.
struct THandOverQueue {
  // Lives on the waiting worker's stack; once its waiter is released the worker may
  // return, so nothing touches the item after that.
  struct TItem {
    const std::function<void()>* Work;
    TWaiter* Waiter;
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
        batch[done]->Waiter->Release();
      }
    } catch (...) {
      // The workers still waiting must not wait for ever.
      for (; done < batch.size(); ++done) batch[done]->Waiter->Release();
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
    for (TItem* item : batch) item->Waiter->Release();
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
  // A mutex and a condition variable the thread sanitizer can see, rather than a blocking
  // connection, whose wait lies inside the toolkit's semaphores.
  const std::shared_ptr<THandOverQueue> queue = QueueOf(owner);
  THandOverQueue::TItem item{&work, &TWaiter::Take()};
  bool post = false;
  {
    std::lock_guard guard(queue->Lock);
    queue->Items.push_back(&item);
    post = !queue->DrainPosted;
    queue->DrainPosted = true;
  }
  if (post) TDrainCall::Post(owner, queue);
  item.Waiter->WaitAndGiveBack();
}
