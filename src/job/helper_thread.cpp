#include "job/helper_thread.h"

#include <system_error>

namespace locprox {

HelperThread::HelperThread() {
  try {
    thread_ = std::thread([this] { serve(); });
  } catch (const std::system_error&) {
    // No second thread: start() runs each task itself.
  }
}

HelperThread::~HelperThread() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    task_done_.wait(lock, [this] { return task_ == nullptr; });
    stopping_ = true;
  }
  task_given_.notify_one();
  thread_.join();
}

void HelperThread::start(Task task, void* context) {
  if (!thread_.joinable()) {
    try {
      task(context);
    } catch (...) {
      error_ = std::current_exception();
    }
    return;
  }
  {
    std::lock_guard lock(mutex_);
    task_ = task;
    context_ = context;
  }
  task_given_.notify_one();
}

void HelperThread::wait() {
  if (thread_.joinable()) {
    std::unique_lock lock(mutex_);
    task_done_.wait(lock, [this] { return task_ == nullptr; });
  }
  if (error_) {
    std::exception_ptr error = error_;
    error_ = nullptr;
    std::rethrow_exception(error);
  }
}

void HelperThread::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    task_given_.wait(lock, [this] { return stopping_ || task_ != nullptr; });
    if (task_ == nullptr) return;  // stopping, with nothing left to do
    const Task task = task_;
    void* const context = context_;
    lock.unlock();
    std::exception_ptr error;
    try {
      task(context);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    task_ = nullptr;
    task_done_.notify_all();
  }
}

}  // namespace locprox
