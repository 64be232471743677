#include "job/worker_pool.h"

#include <cassert>
#include <system_error>

namespace locprox {
namespace {

// About 100 microseconds of pauses.
constexpr unsigned kSpinsBeforeSleep = 4000;

void pause_briefly() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

unsigned default_thread_count() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : hardware;
}

WorkerPool::WorkerPool(unsigned threads) {
  const unsigned workers = threads > 1 ? threads - 1 : 0;
  workers_.reserve(workers);
  for (unsigned w = 0; w < workers; ++w) {
    try {
      workers_.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
      break;  // the batches run on the threads there are
    }
  }
}

WorkerPool::~WorkerPool() {
  try {
    if (batch_open_) wait();
  } catch (...) {
    // A failure nobody collected; the run is stopping for another reason.
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ++generation_;
  }
  batch_given_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkerPool::start_on_workers(std::size_t count, Call call, void* task) {
  {
    std::lock_guard lock(mutex_);
    assert(!batch_open_);
    call_ = call;
    task_ = task;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    failure_ = nullptr;
    batch_open_ = true;
    ++generation_;
  }
  if (count > 0 && !workers_.empty()) batch_given_.notify_all();
}

void WorkerPool::take_tasks() {
  for (;;) {
    const std::size_t index = next_.fetch_add(1, std::memory_order_relaxed);
    if (index >= count_) return;
    try {
      call_(task_, index);
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure_ || index < failed_index_) {
        failure_ = std::current_exception();
        failed_index_ = index;
      }
    }
  }
}

void WorkerPool::wait() {
  // The owner takes what is left. Once it returns every task has been
  // taken; the batch is over when no worker is still inside one.
  take_tasks();
  std::exception_ptr failure;
  {
    std::unique_lock lock(mutex_);
    batch_done_.wait(lock, [this] { return active_ == 0; });
    batch_open_ = false;
    failure = failure_;
    failure_ = nullptr;
  }
  if (failure) std::rethrow_exception(failure);
}

void WorkerPool::serve() {
  unsigned long seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!stopping_ && generation_ == seen) {
      // A year's next batch usually comes within a few microseconds of the
      // last one ending; waiting for it awake, for a while, saves a sleep
      // and a wake-up through the system on each.
      lock.unlock();
      for (unsigned spin = 0;
           spin < kSpinsBeforeSleep && generation_.load(std::memory_order_acquire) == seen; ++spin) {
        pause_briefly();
      }
      lock.lock();
    }
    batch_given_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    // A worker that wakes after the owner has closed the batch stays out;
    // one that joins is counted, so that the batch cannot close (and the
    // next one reuse the task counter) while it is still taking tasks.
    if (!batch_open_) continue;
    ++active_;
    lock.unlock();
    take_tasks();
    lock.lock();
    if (--active_ == 0) batch_done_.notify_all();
  }
}

}  // namespace locprox
