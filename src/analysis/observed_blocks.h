// The part of a year that was observed: its locations and entries listed,
// and its values and incidence gathered into dense blocks.
//
// A year of a trial network uses a fraction of the data set's locations and
// entries. Its accumulation over all MAXL x MAXL pairs and all MAXG entries
// would add nothing for nearly all of them, so the year's observed locations
// and entries are listed, their values and incidence copied into blocks of
// one row per observed location and one column per observed entry (column by
// column), and only pairs of observed locations over observed entries are
// accumulated (ObservedBlock, analysis/proximity_accumulation.h). The sums,
// counts and year counts that come out are bit for bit those of the
// accumulation over the whole arrays; proximity_accumulation.cpp says why.
// Clearing, counting and centring likewise touch only what the year observed.
#pragma once

#include <cstdint>
#include <span>


namespace locprox {

// How many locations and entries a year observed.
struct ObservedCounts {
  std::int32_t observed_location_count = 0;  // locations with at least one observation
  std::int32_t observed_entry_count = 0;     // entries with at least one observation
};

// Lists the locations (observed_locations, MAXL elements of room) and the
// entries (observed_entries, MAXG elements) that a year observed, as 0-based
// numbers in ascending order, from what its reader leaves (LOCSEEN,
// ENTSEEN: not 0 for a location or entry it stored a cell of), and returns
// how many of each.
ObservedCounts list_observed(std::span<std::int32_t> observed_locations,
                             std::span<std::int32_t> observed_entries,
                             std::span<const std::int32_t> LOCSEEN,
                             std::span<const std::int32_t> ENTSEEN, std::int32_t MAXL,
                             std::int32_t MAXG);

// Sets the cells of YDATA and INCID in the cross of the listed locations and
// entries to 0.0 and 0: arrays that were clear before a year was read into
// them are clear again.
void clear_observed(std::span<float> YDATA, std::span<std::int32_t> INCID,
                    std::span<const std::int32_t> observed_locations,
                    std::span<const std::int32_t> observed_entries, std::int32_t MAXL,
                    std::int32_t observed_location_count, std::int32_t observed_entry_count);

// OCCCNT over the observed part of the year at position K, from the year's
// count of observed cells at each location (LOCSEEN as the reader leaves
// it: for location L, the cells of INCID in row L that hold 1): the same
// counts as count_occurrences (analysis/occurrence_counts.h) over the whole
// of INCID, since DELTA(L,K) is that row's sum, and a location outside the
// list has no cell to count, so that its DELTA and GAMMA for the year stay 0
// and its totals as they are. Column K of DELTA and GAMMA must be 0
// beforehand (the year loop clears them at the start of the sequence).
void count_observed_occurrences(std::span<const std::int32_t> LOCSEEN,
                                std::span<const std::int32_t> observed_locations,
                                std::span<std::int32_t> DELTA, std::span<std::int32_t> DELTOT,
                                std::int32_t& NDELTA, std::span<std::int32_t> GAMMA,
                                std::span<std::int32_t> GAMTOT, std::span<std::int32_t> GAMYR,
                                std::int32_t& NGAMMA, std::int32_t MAXL,
                                std::int32_t observed_location_count, std::int32_t K);

// Copies the cells of the observed locations and entries into
// observed_values and observed_incidence (a row per observed location, a
// column per observed entry, column by column). A cell not observed gets 0.0
// and 0, whatever YDATA holds there.
void gather_observed(std::span<float> observed_values, std::span<std::int32_t> observed_incidence,
                     std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                     std::span<const std::int32_t> observed_locations,
                     std::span<const std::int32_t> observed_entries, std::int32_t MAXL,
                     std::int32_t observed_location_count, std::int32_t observed_entry_count);

}  // namespace locprox
