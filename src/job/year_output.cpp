#include "job/year_output.h"

#include <algorithm>

#include "format/proximity_records.h"
#include "report/proximity_file.h"

namespace locprox {
namespace {

// The end of the year is cut into chunks of locations of about this many
// characters of proximity records each (at least eight chunks per thread
// where the year has that much), so that every thread stays busy to the end
// and few records wait in memory.
constexpr std::size_t kMinChunkBytes = 32 * 1024;

// About how many characters location J's column of the proximity block takes.
std::size_t proximity_bytes(std::int32_t J) {
  return 16 * static_cast<std::size_t>(J) + 2 * (static_cast<std::size_t>(J) / 10 + 1);
}

}  // namespace

YearOutput::YearOutput(WorkerPool& pool, Units& units, const Workspace& w,
                       const ProblemSize& size)
    : ordered_(pool),
      units_(units),
      w_(w),
      size_(size),
      threads_(pool.threads()),
      kappa_changed_(static_cast<std::size_t>(std::max(size.MAXL, 0)), 1),
      ki_before_(static_cast<std::size_t>(std::max(size.MAXL, 0)), 0),
      observed_(static_cast<std::size_t>(std::max(size.MAXL, 0)), 0) {
  for (ColumnTexts& texts : texts_) texts.reset(size.MAXL);
}

YearOutput::~YearOutput() {
  try {
    wait_occurrences();
  } catch (...) {
    // Dropped, see the header.
  }
}

void YearOutput::start_occurrences(std::int32_t IY, std::int32_t K, std::int32_t NDELTA,
                                   std::int32_t NGAMMA) {
  IY_ = IY;
  K_ = K;
  NDELTA_ = NDELTA;
  NGAMMA_ = NGAMMA;
  rows_.catch_up(w_.DELTA, w_.GAMMA, w_.GAMYR, size_.MAXL, size_.IYS, K);
  incidence_pieces_ = incidence_pieces(size_.MAXL, size_.MAXG);
  occurrences_running_ = true;
  ordered_.start(incidence_pieces_ + rows_.pieces(size_.MAXL), occurrences_);
}

void YearOutput::wait_occurrences() {
  if (!occurrences_running_) return;
  occurrences_running_ = false;
  ordered_.wait();
}

OutputUnit& YearOutput::Occurrences::operator()(std::size_t piece, OutputUnit& text) {
  YearOutput& o = *output;
  if (piece < o.incidence_pieces_) {
    const std::size_t nl = static_cast<std::size_t>(o.size_.MAXL);
    write_incidence_piece(text, o.w_.INCID,
                          o.w_.DELTA.subspan(static_cast<std::size_t>(o.K_ - 1) * nl, nl),
                          o.size_.MAXL, o.size_.MAXG, piece);
  } else {
    o.rows_.write_piece(text, o.w_.DELTOT, o.NDELTA_, o.w_.GAMTOT, o.NGAMMA_, o.size_.MAXL,
                        o.size_.IYS, o.IY_, piece - o.incidence_pieces_);
  }
  return o.units_.report;
}

std::size_t YearOutput::prepare_year_end(std::span<const std::int32_t> observed) {
  const std::int32_t MAXL = size_.MAXL;
  std::fill(observed_.begin(), observed_.end(), 0);
  for (const std::int32_t l : observed) observed_[static_cast<std::size_t>(l)] = 1;
  keep_texts_ = static_cast<std::int64_t>(observed.size()) < MAXL;
  std::size_t total = 0;
  for (std::int32_t J = 1; J <= MAXL; ++J) total += proximity_bytes(J);
  const std::size_t target = std::max(kMinChunkBytes, total / (8 * std::size_t{threads_}));
  chunk_starts_.assign(1, 1);
  std::size_t bytes = 0;
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    bytes += proximity_bytes(J);
    if (bytes >= target && J < MAXL) {
      chunk_starts_.push_back(J + 1);
      bytes = 0;
    }
  }
  chunk_starts_.push_back(std::max(MAXL, 0) + 1);
  // At least one chunk, even without locations: it carries the heading.
  const std::size_t pieces = kSections * (chunk_starts_.size() - 1);
  ordered_.prepare(pieces, year_end_);
  return pieces;
}

void YearOutput::derive_counts() {
  // KII still holds the previous year's indicators: which locations' change?
  const std::int32_t MAXL = size_.MAXL;
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    const std::size_t start = packed_column_start(J);
    char changed = 0;
    for (std::size_t p = start; p < start + static_cast<std::size_t>(J); ++p) {
      changed |= static_cast<char>((w_.NYPAIR[p] != 0) != (w_.KII[p] != 0));
    }
    kappa_changed_[static_cast<std::size_t>(J - 1)] = changed;
  }
  std::copy_n(w_.KI.begin(), ki_before_.size(), ki_before_.begin());
  derive_kappa_counts(w_.NGPAIR, w_.NGLOC, w_.NYPAIR, w_.NYLOC, w_.KII, w_.KI, size_.NTM, MAXL);
  for (std::size_t l = 0; l < ki_before_.size(); ++l) {
    kappa_changed_[l] = static_cast<char>(kappa_changed_[l] | (w_.KI[l] != ki_before_[l]));
  }
}

void YearOutput::finish_year_end() {
  texts_valid_ = keep_texts_;
  kappa_texts_valid_ = true;
  ordered_.finish();
}

OutputUnit& YearOutput::YearEnd::operator()(std::size_t piece, OutputUnit& text) {
  YearOutput& o = *output;
  const std::size_t chunks = o.chunk_starts_.size() - 1;
  const std::size_t section = piece / chunks;
  const std::size_t chunk = piece % chunks;
  if (section == 0 && chunk == 0) write_kappa_heading(text);
  ColumnTexts& texts = o.texts_[section];
  const bool kappa = kappa_section(section);
  const bool valid = kappa ? o.kappa_texts_valid_ : o.texts_valid_;
  const std::vector<char>& changed = kappa ? o.kappa_changed_ : o.observed_;
  for (std::int32_t J = o.chunk_starts_[chunk]; J < o.chunk_starts_[chunk + 1]; ++J) {
    // A location whose values did not change has last year's records.
    if (valid && changed[static_cast<std::size_t>(J - 1)] == 0) {
      text.write_text(texts.text(J));
      continue;
    }
    const std::size_t before = text.text().size();
    o.format_location(section, J, text);
    if (kappa || o.keep_texts_) texts.set(J, text.text().substr(before));
  }
  return section == 0 ? o.units_.report : o.units_.proximity;
}

void YearOutput::format_location(std::size_t section, std::int32_t J, OutputUnit& text) const {
  switch (section) {
    case 0:
      write_kappa_row(text, w_.KII, w_.KI, J);
      return;
    case 1:
      write_proximity_column(text, w_.PROX, J);
      return;
    case 2:
      write_count_column(text, w_.NGLOC, w_.NGPAIR, J);
      return;
    case 3:
      write_count_column(text, w_.NYLOC, w_.NYPAIR, J);
      return;
    default:
      write_count_column(text, w_.KI, w_.KII, J);
      return;
  }
}

}  // namespace locprox
