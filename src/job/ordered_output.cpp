#include "job/ordered_output.h"

#include <algorithm>

namespace locprox {

OrderedOutput::OrderedOutput(WorkerPool& pool) : pool_(pool) {
  slots_.resize(pieces_in_flight(pool.threads()));
  for (Slot& slot : slots_) slot.text = std::make_unique<OutputUnit>(OutputUnit::InMemory{});
}

void OrderedOutput::begin(std::size_t count, Call call, void* format) {
  std::lock_guard lock(mutex_);
  call_ = call;
  format_ = format;
  count_ = count;
  next_to_write_ = 0;
  writing_ = false;
  stopped_ = false;
  failure_ = nullptr;
  for (Slot& slot : slots_) {
    slot.destination = nullptr;
    slot.ready = false;
    slot.failure = nullptr;
  }
}

void OrderedOutput::do_piece(std::size_t piece) {
  Slot& slot = slots_[piece % slots_.size()];
  bool skip = false;
  {
    std::unique_lock lock(mutex_);
    // The slot is free once the piece a window earlier has been written.
    slot_freed_.wait(lock, [&] { return piece < next_to_write_ + slots_.size(); });
    skip = stopped_;
  }
  OutputUnit* destination = nullptr;
  std::exception_ptr failure;
  if (!skip) {
    try {
      slot.text->clear();
      destination = &call_(format_, piece, *slot.text);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  std::unique_lock lock(mutex_);
  slot.destination = destination;
  slot.failure = failure;
  slot.ready = true;
  write_ready(lock);
}

void OrderedOutput::write_ready(std::unique_lock<std::mutex>& lock) {
  if (writing_) return;  // the thread writing will come to this piece
  writing_ = true;
  while (next_to_write_ < count_) {
    Slot& head = slots_[next_to_write_ % slots_.size()];
    if (!head.ready) break;
    if (!stopped_ && head.failure) {
      stopped_ = true;
      failure_ = head.failure;
    }
    if (!stopped_ && head.destination != nullptr) {
      lock.unlock();
      std::exception_ptr failure;
      try {
        head.destination->write_text(head.text->text());
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure) {
        stopped_ = true;
        failure_ = failure;
      }
    }
    head.ready = false;
    head.destination = nullptr;
    head.failure = nullptr;
    ++next_to_write_;
    slot_freed_.notify_all();
  }
  writing_ = false;
}

void OrderedOutput::wait() {
  pool_.wait();
  finish();
}

void OrderedOutput::finish() {
  std::exception_ptr failure;
  {
    std::lock_guard lock(mutex_);
    failure = failure_;
    failure_ = nullptr;
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace locprox
