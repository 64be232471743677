// Records formatted on all threads and written in order.
//
// A batch is a sequence of pieces 0 .. count - 1, each a run of whole records
// for one output unit. The threads of the pool format pieces at the same
// time, each into a memory unit of its own; a piece is written as soon as
// every piece before it has been, by whichever thread finds it next in line.
// So every unit receives its records in piece order, exactly the bytes that
// formatting the pieces one after another would give, and no record is
// formatted twice. At most a window of 2 pieces per thread (at least 8, at
// most 32) is held in memory at once: a thread that runs ahead waits for the
// writing to catch up.
//
// When a piece cannot be formatted or written, nothing after it is written,
// and the batch ends with the failure of the earliest such piece, as if the
// pieces had been done one after another.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "format/output_unit.h"
#include "job/worker_pool.h"

namespace locprox {

// The window: pieces held in memory at once, two per thread up to this.
inline constexpr std::size_t kMaxPiecesInFlight = 32;
// and at least this many, so that on few threads one writing a large piece
// does not stop the others formatting the next.
inline constexpr std::size_t kMinPiecesInFlight = 8;

// The window of a pool of `threads` threads.
inline std::size_t pieces_in_flight(std::size_t threads) {
  return std::min(std::max(2 * threads, kMinPiecesInFlight), kMaxPiecesInFlight);
}

class OrderedOutput {
 public:
  explicit OrderedOutput(WorkerPool& pool);

  // Formats and writes the pieces: format(piece, text) writes the records of
  // `piece` into the memory unit `text` and returns the unit they go to.
  // Returns once all are written; rethrows the failure of the earliest piece
  // that failed.
  template <class Format>
  void run(std::size_t count, Format& format) {
    start(count, format);
    wait();
  }

  // The same, started on the workers while the caller goes on; `format`
  // must live until wait(), which joins in and then returns as run() does.
  template <class Format>
  void start(std::size_t count, Format& format) {
    begin(count, &call<Format>, &format);
    pool_.start(count, piece_task_);
  }
  void wait();

  // The pieces as part of a batch of the caller's own: prepare() them, have
  // the batch's tasks call do_piece(i) for i = 0 .. count - 1 (each once, in
  // ascending order of taking, as the pool hands tasks out), and call
  // finish() once the batch is over. A piece must not wait for anything that
  // only a later task of the batch would do.
  template <class Format>
  void prepare(std::size_t count, Format& format) {
    begin(count, &call<Format>, &format);
  }
  void do_piece(std::size_t piece);
  // Rethrows the failure of the earliest piece that failed, if any.
  void finish();

 private:
  using Call = OutputUnit& (*)(void* format, std::size_t piece, OutputUnit& text);
  template <class Format>
  static OutputUnit& call(void* format, std::size_t piece, OutputUnit& text) {
    return (*static_cast<Format*>(format))(piece, text);
  }

  // What the pool runs for piece i.
  struct PieceTask {
    OrderedOutput* output;
    void operator()(std::size_t piece) const { output->do_piece(piece); }
  };

  struct Slot {
    std::unique_ptr<OutputUnit> text;
    OutputUnit* destination = nullptr;  // where the formatted piece goes
    bool ready = false;                 // formatted (or failed, or skipped)
    std::exception_ptr failure;         // why it could not be formatted
  };

  void begin(std::size_t count, Call call, void* format);
  // Writes the pieces that are next in line and ready; called with the lock
  // held by the thread that has just finished one.
  void write_ready(std::unique_lock<std::mutex>& lock);

  WorkerPool& pool_;
  PieceTask piece_task_{this};
  std::vector<Slot> slots_;  // the window; piece i uses slot i % size
  std::mutex mutex_;
  std::condition_variable slot_freed_;
  Call call_ = nullptr;
  void* format_ = nullptr;
  std::size_t count_ = 0;
  std::size_t next_to_write_ = 0;
  bool writing_ = false;  // a thread is writing pieces out
  bool stopped_ = false;  // a piece failed: nothing more is written
  std::exception_ptr failure_;  // that of the earliest piece that failed
};

}  // namespace locprox
