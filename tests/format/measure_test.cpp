// The measure's letters and what they mean: the letters stay as given, every
// letter that is none of the offered ones has one reading, and a measure
// chosen by name has the letters the dialogue's answers give it.
#include "format/measure.h"

#include <gtest/gtest.h>

#include <string>

namespace locprox {
namespace {

std::string letters(const Measure& m) {
  return std::string({m.WEIGHT, m.PRXTYP, m.SEDTYP, m.CORTYP});
}

TEST(Measure, LettersGiveTheirMeaning) {
  struct Case {
    Measure measure;
    MeasureKind kind;
    bool weighted;
    bool said_fisher_z;  // what the console says of a correlation's averages
  } cases[] = {
      {{'W', 'S', 'C', '\0'}, MeasureKind::kCentredDistance, true, false},
      {{'U', 'S', 'S', '\0'}, MeasureKind::kStandardisedDistance, false, false},
      {{'W', 'R', '\0', 'N'}, MeasureKind::kPlainCorrelation, true, false},
      {{'U', 'R', '\0', 'Z'}, MeasureKind::kFisherZCorrelation, false, true},
      // Anything but W is unweighted, anything but S a correlation, anything
      // but C standardised; a CORTYP other than N and Z computes plain
      // correlations while the console says Fisher z.
      {{'w', 'S', 'c', '\0'}, MeasureKind::kStandardisedDistance, false, false},
      {{' ', 's', '\0', 'Z'}, MeasureKind::kFisherZCorrelation, false, true},
      {{'W', 'C', '\0', 'z'}, MeasureKind::kPlainCorrelation, true, true},
      {{'W', 'R', '\0', '\0'}, MeasureKind::kPlainCorrelation, true, true},
      {{}, MeasureKind::kPlainCorrelation, false, true},
      // The letter of the option not asked plays no part.
      {{'W', 'S', 'C', 'Z'}, MeasureKind::kCentredDistance, true, false},
      {{'W', 'R', 'S', 'N'}, MeasureKind::kPlainCorrelation, true, false},
  };
  for (const Case& c : cases) {
    const Measure& m = c.measure;
    SCOPED_TRACE(::testing::PrintToString(letters(m)));
    EXPECT_EQ(m.kind(), c.kind);
    EXPECT_EQ(m.weighted(), c.weighted);
    EXPECT_EQ(m.distance(), c.kind == MeasureKind::kCentredDistance ||
                                c.kind == MeasureKind::kStandardisedDistance);
    EXPECT_EQ(m.standardised(), c.kind == MeasureKind::kStandardisedDistance);
    EXPECT_EQ(m.fisher_z(), c.kind == MeasureKind::kFisherZCorrelation);
    EXPECT_EQ(m.said_fisher_z(), c.said_fisher_z);
  }
}

TEST(Measure, OddLettersAreThoseNoPromptOffers) {
  struct Case {
    Measure measure;
    bool weight, proximity_type, distance_data, correlation_average;
  } cases[] = {
      {{'W', 'S', 'C', '\0'}, false, false, false, false},
      {{'U', 'R', '\0', 'N'}, false, false, false, false},
      {{'w', 'S', 'q', '\0'}, true, false, true, false},
      // An option that was not asked is never odd, whatever it holds.
      {{'W', 'S', 'S', 'q'}, false, false, false, false},
      {{'W', 'R', 'q', 'Z'}, false, false, false, false},
      {{'\x01', 'x', '\0', '\0'}, true, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(letters(c.measure)));
    EXPECT_EQ(c.measure.odd_weight(), c.weight);
    EXPECT_EQ(c.measure.odd_proximity_type(), c.proximity_type);
    EXPECT_EQ(c.measure.odd_distance_data(), c.distance_data);
    EXPECT_EQ(c.measure.odd_correlation_average(), c.correlation_average);
  }
}

TEST(Measure, AMeasureChosenByNameHasTheDialoguesLetters) {
  struct Case {
    MeasureKind kind;
    bool weighted;
    std::string letters;
  } cases[] = {
      {MeasureKind::kCentredDistance, true, std::string("WSC\0", 4)},
      {MeasureKind::kStandardisedDistance, false, std::string("USS\0", 4)},
      {MeasureKind::kPlainCorrelation, true, std::string("WR\0N", 4)},
      {MeasureKind::kFisherZCorrelation, false, std::string("UR\0Z", 4)},
  };
  for (const Case& c : cases) {
    const Measure m = Measure::of(c.kind, c.weighted);
    EXPECT_EQ(letters(m), c.letters);
    // The letters read back as the measure they were made from.
    EXPECT_EQ(m.kind(), c.kind);
    EXPECT_EQ(m.weighted(), c.weighted);
    EXPECT_FALSE(m.odd_weight() || m.odd_proximity_type() || m.odd_distance_data() ||
                 m.odd_correlation_average());
  }
}

}  // namespace
}  // namespace locprox
