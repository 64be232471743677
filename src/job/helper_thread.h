// A second thread for the year loop: it runs one task at a time, handed to
// it by start() and collected by wait(). The thread is started once, with
// the object; nothing is allocated per task. When no thread can be started,
// start() runs the task on the calling thread, so a run never depends on
// getting one.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace locprox {

class HelperThread {
 public:
  using Task = void (*)(void* context);

  HelperThread();
  // Waits for a task still running, then stops the thread. A task must not
  // be left waiting for something that only the caller would have done.
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // True when tasks run beside the caller, false when start() runs them.
  bool concurrent() const { return thread_.joinable(); }

  // Runs task(context) on the helper. The previous task must have been
  // collected with wait().
  void start(Task task, void* context);
  // Waits until the task has finished; rethrows what it threw.
  void wait();

 private:
  void serve();

  std::mutex mutex_;
  std::condition_variable task_given_;
  std::condition_variable task_done_;
  Task task_ = nullptr;
  void* context_ = nullptr;
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace locprox
