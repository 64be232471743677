// A few fixed slots that a signal handler may read: the live temporaries a
// stopped program removes, the mapped files whose loss it reports. A signal
// handler may only call async-signal-safe functions, so an entry lives in
// the slot itself (no allocation), is written completely and only then
// marked in use, and is read only while marked.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

namespace locprox {

// The room for a path kept in a slot, its terminating NUL included.
inline constexpr std::size_t kSlotPathSize = 4096;

template <class Entry, int kSlots>
class SignalSafeSlots {
 public:
  // Fills a free slot with `fill(entry)` and marks it in use; the slot, or
  // -1 when all are in use.
  template <class Fill>
  int add(Fill&& fill) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < kSlots; ++i) {
      if (used_[i].load()) continue;
      fill(entries_[i]);
      used_[i].store(true);
      return i;
    }
    return -1;
  }

  // Frees a slot that add() gave (nothing for -1).
  void release(int slot) {
    if (slot >= 0) used_[slot].store(false);
  }

  // Calls `visit(entry)` for every entry in use; async-signal-safe when
  // `visit` is.
  template <class Visit>
  void for_each(Visit&& visit) const noexcept {
    for (int i = 0; i < kSlots; ++i) {
      if (used_[i].load()) visit(entries_[i]);
    }
  }

 private:
  Entry entries_[kSlots];
  std::atomic<bool> used_[kSlots] = {};
  std::mutex mutex_;
};

}  // namespace locprox
