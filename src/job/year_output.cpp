#include "job/year_output.h"

#include <algorithm>

#include "report/proximity_file.h"

namespace locprox {
namespace {

// The end of the year is cut into chunks of locations of about this many
// characters of records each (at least four chunks per thread where the
// year has that much), so that every thread stays busy to the end.
constexpr std::size_t kMinChunkBytes = 16 * 1024;

// About how many characters location J's records take in the kappa section
// and the four blocks: J values of 4 + 16 + 3 x 6 characters.
std::size_t location_bytes(std::int32_t J) {
  return 38 * static_cast<std::size_t>(J) + 40;
}

}  // namespace

YearOutput::YearOutput(WorkerPool& pool, Units& units, const Workspace& w,
                       const ProblemSize& size)
    : pool_(pool), ordered_(pool), units_(units), w_(w), size_(size) {
  for (ColumnTexts* texts :
       {&kappa_rows_, &proximity_columns_, &first_counts_, &second_counts_, &third_counts_}) {
    texts->reset(size.MAXL);
  }
}

YearOutput::~YearOutput() {
  try {
    wait();
  } catch (...) {
    // Dropped, see the header.
  }
}

void YearOutput::start_occurrences(std::int32_t IY, std::int32_t K, std::int32_t NDELTA,
                                   std::int32_t NGAMMA) {
  IY_ = IY;
  NDELTA_ = NDELTA;
  NGAMMA_ = NGAMMA;
  rows_.catch_up(w_.DELTA, w_.GAMMA, w_.GAMYR, size_.MAXL, size_.IYS, K);
  incidence_pieces_ = incidence_pieces(size_.MAXL, size_.MAXG);
  running_ = Running::kOccurrences;
  ordered_.start(incidence_pieces_ + 1, occurrences_);
}

OutputUnit& YearOutput::Occurrences::operator()(std::size_t piece, OutputUnit& text) {
  YearOutput& o = *output;
  if (piece < o.incidence_pieces_) {
    write_incidence_piece(text, o.w_.INCID, o.size_.MAXL, o.size_.MAXG, piece);
  } else {
    o.rows_.write(text, o.w_.DELTOT, o.NDELTA_, o.w_.GAMTOT, o.NGAMMA_, o.size_.MAXL,
                  o.size_.IYS, o.IY_);
  }
  return o.units_.report;
}

void YearOutput::start_year_end(std::span<const std::int32_t> observed) {
  derive_kappa_counts(w_.NGPAIR, w_.NGLOC, w_.NYPAIR, w_.NYLOC, w_.KII, w_.KI, size_.NTM,
                      size_.MAXL);
  // The first year formats every location; later ones those observed.
  to_format_.clear();
  if (texts_complete_) {
    for (const std::int32_t l : observed) to_format_.push_back(l + 1);
  } else {
    for (std::int32_t J = 1; J <= size_.MAXL; ++J) to_format_.push_back(J);
    texts_complete_ = true;
  }
  std::size_t total = 0;
  for (const std::int32_t J : to_format_) total += location_bytes(J);
  const std::size_t target = std::max(kMinChunkBytes, total / (4 * pool_.threads()));
  chunk_starts_.assign(1, 0);
  std::size_t bytes = 0;
  for (std::size_t k = 0; k < to_format_.size(); ++k) {
    bytes += location_bytes(to_format_[k]);
    if (bytes >= target && k + 1 < to_format_.size()) {
      chunk_starts_.push_back(k + 1);
      bytes = 0;
    }
  }
  chunk_starts_.push_back(to_format_.size());
  // At least one chunk, even without a location to format: it writes.
  const std::size_t chunks = chunk_starts_.size() - 1;
  unfinished_.store(chunks, std::memory_order_relaxed);
  chunk_failed_.store(false, std::memory_order_relaxed);
  running_ = Running::kYearEnd;
  pool_.start(chunks, year_end_);
}

void YearOutput::YearEnd::operator()(std::size_t chunk) {
  YearOutput& o = *output;
  try {
    OutputUnit scratch(OutputUnit::InMemory{});
    for (std::size_t k = o.chunk_starts_[chunk]; k < o.chunk_starts_[chunk + 1]; ++k) {
      o.format_location(o.to_format_[k], scratch);
    }
  } catch (...) {
    o.chunk_failed_.store(true, std::memory_order_relaxed);
    o.unfinished_.fetch_sub(1, std::memory_order_acq_rel);
    throw;
  }
  // The chunk that finishes last finds every text ready (the counter orders
  // the other chunks' texts before it) and writes them all, in order.
  if (o.unfinished_.fetch_sub(1, std::memory_order_acq_rel) == 1 &&
      !o.chunk_failed_.load(std::memory_order_relaxed)) {
    o.write_year_end();
  }
}

void YearOutput::format_location(std::int32_t J, OutputUnit& scratch) {
  auto keep = [&](ColumnTexts& texts) {
    texts.set(J, scratch.text());
    scratch.clear();
  };
  write_kappa_row(scratch, w_.KII, w_.KI, J);
  keep(kappa_rows_);
  write_proximity_column(scratch, w_.PROX, J);
  keep(proximity_columns_);
  write_count_column(scratch, w_.NGLOC, w_.NGPAIR, J);
  keep(first_counts_);
  write_count_column(scratch, w_.NYLOC, w_.NYPAIR, J);
  keep(second_counts_);
  write_count_column(scratch, w_.KI, w_.KII, J);
  keep(third_counts_);
}

void YearOutput::write_year_end() {
  write_kappa_heading(units_.report);
  kappa_rows_.write(units_.report);
  proximity_columns_.write(units_.proximity);
  first_counts_.write(units_.proximity);
  second_counts_.write(units_.proximity);
  third_counts_.write(units_.proximity);
}

void YearOutput::wait() {
  const Running running = running_;
  running_ = Running::kNothing;
  switch (running) {
    case Running::kNothing:
      return;
    case Running::kOccurrences:
      ordered_.wait();
      return;
    case Running::kYearEnd:
      pool_.wait();
      return;
  }
}

}  // namespace locprox
