#include "import/table_loading.h"


#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "format/whole_file.h"
#include "import/import_error.h"
#include "input/table_error.h"

namespace locprox {
namespace {

// The body cut at line feeds into stretches of about `chunk_bytes`.
std::vector<std::string_view> cut_at_line_ends(std::string_view body, std::size_t chunk_bytes) {
  std::vector<std::string_view> chunks;
  std::size_t at = 0;
  while (at < body.size()) {
    std::size_t end = body.size();
    if (body.size() - at > chunk_bytes) {
      const std::size_t line_feed = body.find('\n', at + chunk_bytes - 1);
      if (line_feed != std::string_view::npos) end = line_feed + 1;
    }
    chunks.push_back(body.substr(at, end - at));
    at = end;
  }
  return chunks;
}

// One stretch: its rows once read, or what stopped them.
struct ChunkWork {
  std::string_view text;
  std::unique_ptr<TableChunk> rows;
  long lines = 0;
  std::exception_ptr fault;
  bool done = false;
};

// The stretches read on `threads` threads and joined into `table` in order.
void read_in_parallel(std::vector<ChunkWork>& work, const TableReader& reader, TrialTable& table,
                      long first_line, unsigned threads) {
  // The memory of the rows of chunks joined, for the chunks still to read.
  std::mutex spare_mutex;
  std::vector<std::vector<TableObservation>> spare;
  const auto read_chunk = [&](ChunkWork& chunk) {
    try {
      chunk.rows = std::make_unique<TableChunk>(table);
      std::vector<TableObservation> storage;
      {
        const std::lock_guard<std::mutex> lock(spare_mutex);
        if (!spare.empty()) {
          storage = std::move(spare.back());
          spare.pop_back();
        }
      }
      chunk.rows->reserve(chunk.text.size() / 16, std::move(storage));
      chunk.lines = TableReader::read_unquoted(chunk.text, reader.delimiter(), reader.blanks(), 1,
                                               *chunk.rows);
    } catch (...) {
      chunk.rows.reset();
      chunk.fault = std::current_exception();
    }
  };
  // A stretch that failed is read again once its first line is known: the
  // message names the line, and the stretch's own count started from 1.
  long line = first_line;
  const auto join = [&](ChunkWork& chunk) {
    if (chunk.fault) {
      TableChunk again(table);
      TableReader::read_unquoted(chunk.text, reader.delimiter(), reader.blanks(), line, again);
      std::rethrow_exception(chunk.fault);
    }
    table.append(*chunk.rows, line);
    line += chunk.lines;
    {
      const std::lock_guard<std::mutex> lock(spare_mutex);
      spare.push_back(chunk.rows->release());
    }
    chunk.rows.reset();
  };

  const auto read_here = [&] {
    for (ChunkWork& chunk : work) {
      read_chunk(chunk);
      join(chunk);
    }
  };
  if (threads <= 1 || work.size() <= 1) {
    read_here();
    return;
  }

  std::mutex mutex;
  std::condition_variable chunk_done;
  std::atomic<std::size_t> next{0};
  // No stretch after the first that failed (or after a failed join) is read.
  std::atomic<std::size_t> stop_after{work.size()};
  const auto worker = [&] {
    for (;;) {
      const std::size_t k = next.fetch_add(1);
      if (k >= work.size() || k > stop_after.load()) return;
      read_chunk(work[k]);
      if (work[k].fault) {
        std::size_t current = stop_after.load();
        while (k < current && !stop_after.compare_exchange_weak(current, k)) {
        }
      }
      {
        const std::lock_guard<std::mutex> lock(mutex);
        work[k].done = true;
      }
      chunk_done.notify_all();
    }
  };
  std::vector<std::thread> pool;
  struct Joiner {
    std::vector<std::thread>& pool;
    std::atomic<std::size_t>& stop_after;
    ~Joiner() {
      stop_after.store(0);
      for (std::thread& thread : pool) thread.join();
    }
  } joiner{pool, stop_after};
  const unsigned count = std::min<std::size_t>(threads, work.size());
  try {
    for (unsigned t = 0; t < count; ++t) pool.emplace_back(worker);
  } catch (const std::system_error&) {
    // The system gives no more threads: the ones made do the work, or this
    // one alone.
    if (pool.empty()) {
      read_here();
      return;
    }
  }
  for (std::size_t k = 0; k < work.size(); ++k) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      chunk_done.wait(lock, [&] { return work[k].done; });
    }
    join(work[k]);
  }
}

// Whether `text` holds a quote character, looked for in `threads` parts at once.
bool holds_quote(std::string_view text, unsigned threads) {
  constexpr std::size_t kSmallest = std::size_t{1} << 22;  // not worth a thread below
  const std::size_t parts = std::min<std::size_t>(threads, std::max<std::size_t>(1, text.size() / kSmallest));
  const auto has_quote = [&](std::size_t part) {
    const std::size_t begin = text.size() * part / parts;
    const std::size_t end = text.size() * (part + 1) / parts;
    return std::memchr(text.data() + begin, '"', end - begin) != nullptr;
  };
  if (parts <= 1) return has_quote(0);
  std::vector<char> found(parts, 0);
  {
    std::vector<std::jthread> pool;
    std::size_t part = 1;
    try {
      for (; part < parts; ++part) pool.emplace_back([&, part] { found[part] = has_quote(part); });
    } catch (const std::system_error&) {
      for (; part < parts; ++part) found[part] = has_quote(part);  // no more threads to be had
    }
    found[0] = has_quote(0);
  }
  return std::find(found.begin(), found.end(), 1) != found.end();
}

}  // namespace

unsigned table_threads(unsigned threads) {
  if (threads > 0) return threads;
  return std::max(1u, std::thread::hardware_concurrency());
}

void load_trial_table_text(std::string_view text, TableReader& reader, TrialTable& table,
                           unsigned threads, std::size_t chunk_bytes) {
  try {
    const std::size_t header_end = TableReader::header_end(text);
    // A quote in the header line may open a field that goes on past it.
    const bool quoted = header_end == std::string_view::npos ||
                        text.substr(0, header_end).find('"') != std::string_view::npos ||
                        holds_quote(text.substr(header_end), table_threads(threads));
    if (quoted) {
      reader.feed(text, table);
      reader.finish(table);
      return;
    }
    reader.feed(text.substr(0, header_end), table);
    std::vector<ChunkWork> work;
    for (std::string_view chunk :
         cut_at_line_ends(text.substr(header_end), chunk_bytes > 0 ? chunk_bytes : kTableChunkBytes))
      work.push_back(ChunkWork{chunk, nullptr, 0, nullptr, false});
    read_in_parallel(work, reader, table, reader.lines() + 1, table_threads(threads));
  } catch (const TableError& fault) {
    throw ImportError(fault.what());
  }
}

void load_trial_table(const std::string& path, TableReader& reader, TrialTable& table,
                      unsigned threads, std::size_t chunk_bytes) {
  // Mapped with every page at once: the threads read it all straight away.
  const WholeFile file = [&] {
    try {
      return WholeFile(path, WholeFile::Pages::kAllAtOnce);
    } catch (const WholeFileError& failure) {
      const char* doing = failure.step() == WholeFileError::Step::kOpen ? "open" : "read";
      throw ImportError(std::string("cannot ") + doing + " " + path + ": " +
                        std::strerror(failure.code().value()));
    }
  }();
  load_trial_table_text(file.bytes(), reader, table, threads, chunk_bytes);
}

}  // namespace locprox
