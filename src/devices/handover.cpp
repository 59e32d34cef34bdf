#include "devices/handover.h"

#include <QMetaObject>
#include <QThread>
#include <memory>
#include <mutex>
#include <semaphore>
#include <unordered_map>
#include <vector>

namespace {

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

  // On the owner's thread: runs what is queued now. What comes later is posted anew, so
  // a stream of hand-overs never keeps the owner's event loop from its other events.
  void Drain() {
    const std::vector<TItem*> batch = Take();
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
    for (TItem* item : Take()) item->Done.release();
  }

  std::vector<TItem*> Take() {
    std::vector<TItem*> batch;
    std::lock_guard guard(Lock);
    batch.swap(Items);
    DrainPosted = false;
    return batch;
  }
};

// The posted call that drains the queue on the owner's thread; dropped unrun, it still
// frees the waiting workers. Move-only, so it is destroyed where the owner's thread
// runs or discards it, never on a worker.
class TDrainCall {
public:
  explicit TDrainCall(std::shared_ptr<THandOverQueue> queue) : Queue(std::move(queue)) {}
  TDrainCall(TDrainCall&& other) noexcept : Queue(std::move(other.Queue)) {}
  TDrainCall(const TDrainCall&) = delete;
  TDrainCall& operator=(const TDrainCall&) = delete;
  TDrainCall& operator=(TDrainCall&&) = delete;
  ~TDrainCall() {
    if (Queue && !Ran) Queue->Drop();
  }
  void operator()() {
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
  if (post) QMetaObject::invokeMethod(&owner, TDrainCall(queue), Qt::QueuedConnection);
  item.Done.acquire();
}
