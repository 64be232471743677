// The proximity measure of a run: weighted or not, squared Euclidean
// distance or correlation, distances of centred or of standardised values,
// correlations averaged plainly or through Fisher's z.
//
// The measure is carried as the four option letters that the console
// dialogue asks for and the proximity file's option record holds (WEIGHT,
// PRXTYP, SEDTYP, CORTYP). The letters are kept exactly as given, since the
// dialogue takes any character and the option record writes it back byte
// for byte; an option that was not asked is the byte 0. Every reading of a
// letter is here: the rest of the program asks the measure what it means.
//
// Adding a measure: a MeasureKind and its letters here (of(), kind()), its
// kernel in analysis/proximity_accumulation.* (accumulate_proximities picks
// it), its wording in the summary (summary/summary_report.cpp), and its name
// on the command line (command_line/command_line.cpp).
#pragma once

namespace locprox {

// The measures the command line names.
enum class MeasureKind {
  kCentredDistance,       // squared Euclidean distance of location-centred values
  kStandardisedDistance,  // squared Euclidean distance of location-standardised values
  kPlainCorrelation,      // correlations averaged as they are
  kFisherZCorrelation,    // correlations averaged on Fisher's z scale
};

// The two letters the dialogue offers for one option (its prompt shows them;
// their lower-case forms are taken as these capitals).
struct OfferedLetters {
  char first;
  char second;
  constexpr bool offers(char letter) const { return letter == first || letter == second; }
};

inline constexpr OfferedLetters kWeightLetters{'W', 'U'};              // weighted, unweighted
inline constexpr OfferedLetters kProximityTypeLetters{'S', 'R'};       // distance, correlation
inline constexpr OfferedLetters kDistanceDataLetters{'C', 'S'};        // centred, standardised
inline constexpr OfferedLetters kCorrelationAverageLetters{'N', 'Z'};  // plain, Fisher z

struct Measure {
  char WEIGHT = '\0';  // W: weighted averages; anything else: unweighted
  char PRXTYP = '\0';  // S: squared Euclidean distance; anything else: correlation
  char SEDTYP = '\0';  // C: location-centred values; anything else: standardised
  char CORTYP = '\0';  // Z: Fisher z; N: plain; anything else: plain, though said to be z

  // The letters the dialogue holds for a measure chosen by name: those of
  // the answers that choose it, the option not asked the byte 0.
  static constexpr Measure of(MeasureKind kind, bool weighted) {
    Measure m;
    m.WEIGHT = weighted ? kWeightLetters.first : kWeightLetters.second;
    switch (kind) {
      case MeasureKind::kCentredDistance:
        m.PRXTYP = kProximityTypeLetters.first;
        m.SEDTYP = kDistanceDataLetters.first;
        break;
      case MeasureKind::kStandardisedDistance:
        m.PRXTYP = kProximityTypeLetters.first;
        m.SEDTYP = kDistanceDataLetters.second;
        break;
      case MeasureKind::kPlainCorrelation:
        m.PRXTYP = kProximityTypeLetters.second;
        m.CORTYP = kCorrelationAverageLetters.first;
        break;
      case MeasureKind::kFisherZCorrelation:
        m.PRXTYP = kProximityTypeLetters.second;
        m.CORTYP = kCorrelationAverageLetters.second;
        break;
    }
    return m;
  }

  // Averages weighted by the entries in common (PROX / NGPAIR), otherwise
  // over the years compared (PROX / NYPAIR).
  constexpr bool weighted() const { return WEIGHT == kWeightLetters.first; }
  // Squared Euclidean distance; otherwise correlation.
  constexpr bool distance() const { return PRXTYP == kProximityTypeLetters.first; }
  // Distances of location-standardised values; otherwise of centred values.
  constexpr bool standardised() const { return distance() && SEDTYP != kDistanceDataLetters.first; }
  // Correlations averaged through Fisher's z.
  constexpr bool fisher_z() const {
    return !distance() && CORTYP == kCorrelationAverageLetters.second;
  }
  // What the console and the report say of the correlations' averages:
  // Fisher z for every letter but N, although only Z computes it.
  constexpr bool said_fisher_z() const {
    return !distance() && CORTYP != kCorrelationAverageLetters.first;
  }

  constexpr MeasureKind kind() const {
    if (distance()) {
      return standardised() ? MeasureKind::kStandardisedDistance : MeasureKind::kCentredDistance;
    }
    return fisher_z() ? MeasureKind::kFisherZCorrelation : MeasureKind::kPlainCorrelation;
  }

  // Letters that are none of the two their prompt offers, option by option;
  // an option that was not asked is never one.
  constexpr bool odd_weight() const { return !kWeightLetters.offers(WEIGHT); }
  constexpr bool odd_proximity_type() const { return !kProximityTypeLetters.offers(PRXTYP); }
  constexpr bool odd_distance_data() const {
    return distance() && !kDistanceDataLetters.offers(SEDTYP);
  }
  constexpr bool odd_correlation_average() const {
    return !distance() && !kCorrelationAverageLetters.offers(CORTYP);
  }

  constexpr bool operator==(const Measure&) const = default;
};

}  // namespace locprox
