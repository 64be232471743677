// The part of a year that was observed, gathered into dense blocks, and the
// proximity accumulation over it.
//
// A year of a trial network uses a fraction of the data set's locations and
// entries. Its accumulation over all MAXL x MAXL pairs and all MAXG entries
// would add nothing for nearly all of them, so the year's observed locations
// and entries are listed, their values and incidence copied into blocks of
// NLOBS x NGOBS cells (column by column, NLOBS the leading dimension), and
// only pairs of observed locations over observed entries are accumulated.
// The sums, counts and year counts that come out are bit for bit those of
// the accumulation over the whole arrays (see observed_blocks.cpp for why).
#pragma once

#include <cstdint>
#include <span>

#include "analysis/proximity_accumulation.h"

namespace locprox {

// How many locations and entries a year observed.
struct ObservedCounts {
  std::int32_t NLOBS = 0;  // locations with at least one observation
  std::int32_t NGOBS = 0;  // entries with at least one observation
};

// Lists the locations (LOCOBS, MAXL elements of room) and the entries
// (ENTOBS, MAXG elements) that INCID observes, as 0-based numbers in
// ascending order, and returns how many of each.
ObservedCounts find_observed(std::span<std::int32_t> LOCOBS, std::span<std::int32_t> ENTOBS,
                             std::span<const std::int32_t> INCID, std::int32_t MAXL,
                             std::int32_t MAXG);

// The same from the marks a year's reader leaves (LOCSEEN, ENTSEEN: 1 for a
// location or entry it stored a cell of), without a pass over the arrays.
ObservedCounts list_observed(std::span<std::int32_t> LOCOBS, std::span<std::int32_t> ENTOBS,
                             std::span<const std::int32_t> LOCSEEN,
                             std::span<const std::int32_t> ENTSEEN, std::int32_t MAXL,
                             std::int32_t MAXG);

// Sets the cells of YDATA and INCID in the cross of the listed locations and
// entries to 0.0 and 0: arrays that were clear before a year was read into
// them are clear again.
void clear_observed(std::span<float> YDATA, std::span<std::int32_t> INCID,
                    std::span<const std::int32_t> LOCOBS, std::span<const std::int32_t> ENTOBS,
                    std::int32_t MAXL, std::int32_t NLOBS, std::int32_t NGOBS);

// OCCCNT over the observed part of the year at position K: the same counts
// as count_occurrences (analysis/occurrence_counts.h) over the whole of
// INCID, as a location or entry outside the lists has no cell to count, so
// that its DELTA and GAMMA for the year stay 0 and its totals as they are.
// Column K of DELTA and GAMMA must be 0 beforehand (the year loop clears
// them at the start of the sequence).
void count_observed_occurrences(std::span<const std::int32_t> INCID,
                                std::span<const std::int32_t> LOCOBS,
                                std::span<const std::int32_t> ENTOBS,
                                std::span<std::int32_t> DELTA, std::span<std::int32_t> DELTOT,
                                std::int32_t& NDELTA, std::span<std::int32_t> GAMMA,
                                std::span<std::int32_t> GAMTOT, std::span<std::int32_t> GAMYR,
                                std::int32_t& NGAMMA, std::int32_t MAXL, std::int32_t NLOBS,
                                std::int32_t NGOBS, std::int32_t K);

// Copies the cells of the observed locations and entries into YOBS and IOBS
// (NLOBS x NGOBS each, column by column). A cell not observed gets 0.0 and 0,
// whatever YDATA holds there.
void gather_observed(std::span<float> YOBS, std::span<std::int32_t> IOBS,
                     std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                     std::span<const std::int32_t> LOCOBS, std::span<const std::int32_t> ENTOBS,
                     std::int32_t MAXL, std::int32_t NLOBS, std::int32_t NGOBS);

// The observed part of a year as the accumulation reads it: `values` and
// `incidence` are NLOBS x NGOBS blocks (column by column), after centring
// (and standardising) by location; `locations` maps row k of the blocks to
// its location, 0-based and ascending. An empty `locations` maps row k to
// location k: the blocks are then the year's whole arrays.
struct ObservedBlock {
  std::span<const float> values;
  std::span<const std::int32_t> incidence;
  std::span<const std::int32_t> locations;
  std::int32_t NLOBS = 0;
  std::int32_t NGOBS = 0;
};

// The squared Euclidean distances of the pairs of observed locations,
// added to PROX, NGPAIR and NYPAIR (packed triangles over all MAXL
// locations) as accumulate-over-everything would add them. The columns of
// the block (1 to NLOBS) are taken from `columns`, so that several threads
// can share a year; each pair is formed whole by the thread that takes its
// column.
void accumulate_observed_distances(const ObservedBlock& block, std::span<double> PROX,
                                   std::span<std::int32_t> NGPAIR,
                                   std::span<std::int32_t> NYPAIR, char WEIGHT,
                                   ColumnQueue& columns);

// The correlations of the pairs of observed locations, the diagonal
// included, with the rules of the accumulation over everything (Fisher z
// with CORTYP 'Z', weighting with WEIGHT 'W', a pair without variance at one
// location sitting the year out).
void accumulate_observed_correlations(const ObservedBlock& block, std::span<double> PROX,
                                      std::span<std::int32_t> NGPAIR,
                                      std::span<std::int32_t> NYPAIR, char WEIGHT, char CORTYP,
                                      ColumnQueue& columns);

}  // namespace locprox
