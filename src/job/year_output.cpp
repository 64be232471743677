#include "job/year_output.h"

#include <algorithm>
#include <utility>

#include "format/proximity_records.h"
#include "report/proximity_file.h"

namespace locprox {
namespace {

// The kappa section and the blocks are cut into chunks of locations of
// about this many characters of proximity records each (at least eight
// chunks per thread where the year has that much), so that every thread
// stays busy to the end and few records wait in memory.
constexpr std::size_t kMinChunkBytes = 32 * 1024;

// About how many characters location J's column of the proximity block takes.
std::size_t proximity_bytes(std::int32_t J) {
  return 16 * static_cast<std::size_t>(J) + 2 * (static_cast<std::size_t>(J) / 10 + 1);
}

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

}  // namespace

YearOutput::YearOutput(WorkerPool& pool, Units& units, const Workspace& w,
                       const ProblemSize& size, std::string report_messages,
                       std::string console_messages)
    : ordered_(pool),
      units_(units),
      w_(w),
      size_(size),
      threads_(pool.threads()),
      report_messages_(std::move(report_messages)),
      console_messages_(std::move(console_messages)),
      LOCPOS_(at(std::max(size.MAXL, 0)), -1),
      ENTPOS_(at(std::max(size.MAXG, 0)), -1),
      kappa_changed_(at(std::max(size.MAXL, 0)), 1),
      ki_before_(at(std::max(size.MAXL, 0)), 0),
      observed_(at(std::max(size.MAXL, 0)), 0) {
  for (ColumnTexts& texts : texts_) texts.reset(size.MAXL);
}

YearOutput::Pieces YearOutput::prepare(std::int32_t IY, std::int32_t K, std::int32_t NDELTA,
                                       std::int32_t NGAMMA, const ObservedPart& observed) {
  const std::int32_t MAXL = size_.MAXL;
  IY_ = IY;
  NDELTA_ = NDELTA;
  NGAMMA_ = NGAMMA;
  observed_location_count_ = static_cast<std::int32_t>(observed.observed_locations.size());
  observed_incidence_ = observed.observed_incidence;
  std::fill(LOCPOS_.begin(), LOCPOS_.end(), -1);
  std::fill(ENTPOS_.begin(), ENTPOS_.end(), -1);
  std::fill(observed_.begin(), observed_.end(), 0);
  for (std::size_t k = 0; k < observed.observed_locations.size(); ++k) {
    LOCPOS_[at(observed.observed_locations[k])] = static_cast<std::int32_t>(k);
    observed_[at(observed.observed_locations[k])] = 1;
  }
  for (std::size_t m = 0; m < observed.observed_entries.size(); ++m) {
    ENTPOS_[at(observed.observed_entries[m])] = static_cast<std::int32_t>(m);
  }

  // The occurrence sections and the messages.
  rows_.catch_up(w_.DELTA, w_.GAMMA, w_.GAMYR, MAXL, size_.IYS, K);
  incidence_pieces_ = incidence_pieces(MAXL, size_.MAXG);
  row_pieces_ = rows_.pieces(MAXL);
  pieces_.early = incidence_pieces_ + row_pieces_ + 2;

  // The kappa section and the blocks: the texts of the locations the year
  // observed change; those of the others are kept when some are left out.
  keep_texts_ = static_cast<std::int64_t>(observed.observed_locations.size()) < MAXL;
  std::size_t total = 0;
  for (std::int32_t J = 1; J <= MAXL; ++J) total += proximity_bytes(J);
  const std::size_t target =
      std::min(kMaxChunkBytes, std::max(kMinChunkBytes, total / (8 * std::size_t{threads_})));
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
  pieces_.late = kSections * (chunk_starts_.size() - 1);

  ordered_.prepare(pieces_.early + pieces_.late, format_);
  return pieces_;
}

void YearOutput::derive_counts() {
  // KII still holds the previous year's indicators: which locations' change?
  const std::int32_t MAXL = size_.MAXL;
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    const std::size_t start = packed_column_start(J);
    char changed = 0;
    for (std::size_t p = start; p < start + at(J); ++p) {
      changed |= static_cast<char>((w_.NYPAIR[p] != 0) != (w_.KII[p] != 0));
    }
    kappa_changed_[at(J - 1)] = changed;
  }
  std::copy_n(w_.KI.begin(), ki_before_.size(), ki_before_.begin());
  derive_kappa_counts(w_.NGPAIR, w_.NGLOC, w_.NYPAIR, w_.NYLOC, w_.KII, w_.KI, size_.NTM, MAXL);
  for (std::size_t l = 0; l < ki_before_.size(); ++l) {
    kappa_changed_[l] = static_cast<char>(kappa_changed_[l] | (w_.KI[l] != ki_before_[l]));
  }
}

void YearOutput::finish() {
  texts_valid_ = keep_texts_;
  kappa_texts_valid_ = true;
  ordered_.finish();
}

OutputUnit& YearOutput::Format::operator()(std::size_t piece, OutputUnit& text) {
  YearOutput& o = *output;
  return piece < o.pieces_.early ? o.write_early_piece(piece, text)
                                 : o.write_late_piece(piece - o.pieces_.early, text);
}

OutputUnit& YearOutput::write_early_piece(std::size_t piece, OutputUnit& text) {
  if (piece < incidence_pieces_) {
    write_incidence_piece(text, observed_incidence_, LOCPOS_, ENTPOS_, observed_location_count_,
                          size_.MAXL, size_.MAXG, piece);
  } else if (piece < incidence_pieces_ + row_pieces_) {
    rows_.write_piece(text, w_.DELTOT, NDELTA_, w_.GAMTOT, NGAMMA_, size_.MAXL, size_.IYS, IY_,
                      piece - incidence_pieces_);
  } else if (piece == incidence_pieces_ + row_pieces_) {
    text.write_text(report_messages_);
  } else {
    text.write_text(console_messages_);
    return units_.console;
  }
  return units_.report;
}

OutputUnit& YearOutput::write_late_piece(std::size_t piece, OutputUnit& text) {
  const std::size_t chunks = chunk_starts_.size() - 1;
  const std::size_t section = piece / chunks;
  const std::size_t chunk = piece % chunks;
  if (section == 0 && chunk == 0) write_kappa_heading(text);
  ColumnTexts& texts = texts_[section];
  const bool kappa = kappa_section(section);
  const bool valid = kappa ? kappa_texts_valid_ : texts_valid_;
  const std::vector<char>& changed = kappa ? kappa_changed_ : observed_;
  for (std::int32_t J = chunk_starts_[chunk]; J < chunk_starts_[chunk + 1]; ++J) {
    // A location whose values did not change has last year's records.
    if (valid && changed[at(J - 1)] == 0) {
      text.write_text(texts.text(J));
      continue;
    }
    const std::size_t before = text.text().size();
    format_location(section, J, text);
    if (kappa || keep_texts_) texts.set(J, text.text().substr(before));
  }
  return section == 0 ? units_.report : units_.proximity;
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
