// The threads of the year loop: a fixed set of workers, started once, that
// share out numbered tasks with the thread that owns the pool. A batch of
// tasks 0 .. count - 1 is handed out in ascending order, one task at a time
// to whichever thread is free; what a task computes must not depend on which
// thread runs it, so the results are the same for every number of threads.
// Nothing is allocated per batch.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace locprox {

// All hardware threads (at least 1): the default number of threads of a run.
unsigned default_thread_count();

class WorkerPool {
 public:
  // `threads` in all, the owning thread included (0 counts as 1): starts
  // threads - 1 workers. Workers that cannot be started are done without;
  // every batch still runs, on fewer threads.
  explicit WorkerPool(unsigned threads);
  // Finishes a batch still running (its failure is dropped), then stops the
  // workers.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The threads that share a batch run by run(), the owner included.
  unsigned threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

  // Runs task(i) for i = 0 .. count - 1 on the workers and the calling
  // thread and returns when all have finished. If tasks fail, the others
  // still run, and the failure of the lowest i is rethrown.
  template <class Task>
  void run(std::size_t count, Task& task) {
    start_on_workers(count, &call<Task>, &task);
    wait();
  }

  // Starts task(i) for i = 0 .. count - 1 on the workers and returns at
  // once, so that the caller can do other work meanwhile; `task` must live
  // until wait(). wait() takes the tasks not yet started on the calling
  // thread too, waits for the rest and rethrows the failure of the lowest i.
  // Without workers everything runs in wait(). One batch at a time.
  template <class Task>
  void start(std::size_t count, Task& task) {
    start_on_workers(count, &call<Task>, &task);
  }
  void wait();

 private:
  using Call = void (*)(void* task, std::size_t index);
  template <class Task>
  static void call(void* task, std::size_t index) {
    (*static_cast<Task*>(task))(index);
  }

  void start_on_workers(std::size_t count, Call call, void* task);
  // Takes and runs tasks of the current batch until none is left.
  void take_tasks();
  void serve();

  std::mutex mutex_;
  std::condition_variable batch_given_;
  std::condition_variable batch_done_;
  // The current batch. A new batch is announced by a new generation.
  Call call_ = nullptr;
  void* task_ = nullptr;
  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};  // the next task to take
  unsigned active_ = 0;               // workers taking tasks of the batch
  // Changed under the lock; a worker also reads it without the lock while
  // it waits a little before sleeping (serve). Stopping changes it too.
  std::atomic<unsigned long> generation_{0};
  bool stopping_ = false;
  bool batch_open_ = false;
  std::size_t failed_index_ = 0;
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
};

}  // namespace locprox
