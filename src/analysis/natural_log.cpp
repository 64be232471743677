// Correctly rounded natural logarithm, in two phases.
//
// Reduction. A positive finite x is 2^e * m with m in [1, 2) (a subnormal x
// is first scaled by 2^52). The index i = round((m - 1) * 256), 0..256, picks
// a table entry with c ~ 1/m, a multiple of 2^-9 with at most 9 significant
// bits, and L = -ln c; for m > sqrt(2) (i >= 107) the entry holds
// L = -ln(2c) instead and e' = e + 1, otherwise e' = e, so that
//
//   ln x = e' ln 2 + L + ln(1 + r),   r = m c - 1,   |r| <= 0x1.7f8p-9.
//
// Near x = 1 the entries i = 0 (c = 1) and i = 256 (c = 1/2) have L = 0 and
// e' = 0: ln x is the series in r alone and every error is relative to r, so
// there is no cancellation however close x is to 1. Elsewhere |ln x| >= 2^-10
// when e' = 0, and |ln x| >= 0.34 |e'| when e' != 0.
//
// r is exact and comes in two parts, without a fused multiply-add: m_hi is m
// rounded to a multiple of 2^-25 (26 significant bits, possibly 2) and
// m_lo = m - m_hi (exact, |m_lo| <= 2^-26). m_hi c is exact (35 bits) and lies
// in [1/2, 2], so r_hi = m_hi c - 1 is exact (Sterbenz): a multiple of 2^-34
// below 2^-8, it has at most 26 significant bits and r_hi^2 is exact too.
// r_lo = m_lo c is exact (36 bits), and r = r_hi + r_lo is exact because
// m c - 1 is a multiple of 2^-61 below 2^-8 (53 bits). Near 1 (c = 1 or 1/2)
// r_hi = 0 when |r| < 2^-27, and |r_hi| <= 2 |r| otherwise.
//
// The table (tools/natural_log_table.cpp prints it, with MPFR) stores L as
// L_hi + L_lo + L_lo2 with L_hi a multiple of 2^-42, and ln 2 the same way.
// |e'| <= 1075 < 2^11 and |e' ln2_hi + L_hi| < 2^10, so e' ln2_hi + L_hi is
// an exact double (it is a multiple of 2^-42 below 2^52 * 2^-42).
//
// Phase 1 (double and double-double arithmetic) gives hi + lo with
// |hi + lo - ln x| <= 2^-67.1 |ln x|; if the whole interval
// hi + lo +- 2^-66 |hi| rounds to one double, that is the result. About 1 in
// 5500 random arguments is left undecided (more among arguments 1 + u with
// few significant bits in u, whose ln x = u - u^2/2 + ... often lies close
// to a midpoint). Phase 2 computes ln x in 256-bit integer fixed point with a
// relative error below 2^-136 and rounds it. ln x is never a midpoint between
// two doubles (it is transcendental for x != 1), and the published
// exhaustive searches for the hardest cases of the double logarithm (Lefevre
// and Muller) need about 2^-118 relative: phase 2 decides with a wide margin
// (it checks 2^-130, and the tests require that every argument they try is
// decided).
//
// Error bound of phase 1. With R the largest |r| of the interval of i:
//  - big = e' ln2_hi + L_hi, r, a = -r_hi^2/2, and the two Fast2Sums
//    s + e1 = big + r, hi + e2 = s + a are exact. The first needs
//    |big| >= |r| or big = 0: the table generator checks
//    |r| + r^2 <= 0.753 |L_hi| for every entry with e' = 0 and L != 0, and
//    |big| >= 0.34 when e' != 0. The second needs |s| >= |a|: near 1 s = r
//    and |a| <= 2 r^2; elsewhere |s| >= 2^-10 and |a| <= 2^-17.8.
//  - -r^2/2 = a - (r_hi r_lo + r_lo^2/2); d, the rounded bracket, is within
//    2^-52 |r_lo| (|r_hi| + |r_lo|/2) of it: 2^-86.4 at most, and 2^-76.7 |r|
//    near 1.
//  - p approximates r^3 Q(r), Q(r) = (ln(1+r) - r + r^2/2) / r^3, with a
//    degree-5 polynomial that interpolates Q at the Chebyshev nodes of
//    [-R, R] (within 2^-58.6 of Q, the coefficients after the first rounded
//    within 2^-67.2): with the rounding of the first coefficient (1/3) and
//    two more additions of 2^-55 on a value above 0.332, q is within 2^-51.8
//    of Q relatively; r^3 as r * sq adds 2^-52 and the product 2^-53, so
//    |p - r^3 Q| <= 2^-52.2 |r|^3, and adding p last to low adds 2^-53 |p|:
//    2^-51.9 |r|^3 in all.
//  - small = e' ln2_lo + L_lo misses e' ln2_lo2 + L_lo2 and two roundings:
//    below (|e'| + 1) 2^-95, and 0 when L = 0 and e' = 0.
//  - The other three additions of low round sums of e2, d, e1 and small:
//    below 2^-51.4 (2^-52 |hi| + 2^-34.4 + (|e'| + 1) 2^-43).
//  Relative to |ln x|, with the generator's figure max R^3 / min|ln x| =
//  2^-15.251 over the entries with e' = 0 and L != 0: 2^-67.19 + 2^-76.4 +
//  2^-85 + 2^-75.8 <= 2^-67.1. Near 1 (R <= 2^-9, small = e1 = 0):
//  2^-51.9 r^2 / (1 - |r|/2) + 2^-76.7 + 2^-76.7 <= 2^-69.8. With e' != 0
//  the bound is below 2^-75. In every case |lo| <= 2^-16.7 |hi|.
//
// The rounding test. err = 2^-66 |hi| (exact) exceeds the error bound,
// 2^-67.1 |ln x| <= 2^-67.1 (1 + 2^-16.6) |hi|, by more than the roundings
// of lo - err and lo + err (each below 2^-53 (|lo| + err) <= 2^-69.6 |hi|),
// so the computed lo - err is at most ln x - hi and lo + err at least
// ln x - hi. Rounding to nearest is monotonic:
// a = RN(hi + RN(lo - err)) <= RN(ln x) <= b = RN(hi + RN(lo + err)), and
// a == b decides RN(ln x).
//
// Error bound of phase 2 (fixed point, unit 2^-176). F(r) = ln(1+r)/r =
// sum (-r)^k / (k+1), k = 0..15, by Horner's rule from the top: the tail left
// out is below |r|^16 / 17 / (1 - |r|) <= 2^-138.7, and each of the 16 steps
// truncates the constant 1/(k+1) and the product by r by less than 2^-176
// each (2^-174.9 in all, the earlier errors shrinking by |r|). Near 1
// (L = 0, e' = 0) ln x = r F is formed exactly from F: relative error below
// 2^-148. Elsewhere r F is truncated to the unit (2^-176) and added to e' ln 2
// and L, whose three-double forms are exact in the fixed point and within
// 2^-156 (ln 2) and 2^-151 (L) of the true values: below
// |r| 2^-138.7 + 2^-151 + |e'| 2^-156 + 2^-175 in all, at most 2^-137
// relative to |ln x| >= 2^-10 when e' = 0 and 2^-145 when e' != 0.
#include "analysis/natural_log.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

// The exact sums and products below need each operation rounded once, to double.
static_assert(FLT_EVAL_METHOD == 0, "double expressions must be evaluated in double");

namespace locprox {
namespace {

struct Entry {
  double c;   // ~1/m, a multiple of 2^-9 (1 for i = 0, 1/2 for i = 256)
  double hi;  // L = hi + lo + lo2, hi a multiple of 2^-42
  double lo;
  double lo2;
};

// First index whose entry holds -ln(2c) (m above sqrt(2)).
constexpr unsigned kUpper = 107;

// Printed by tools/natural_log_table.cpp: {c, L_hi, L_lo, L_lo2}, i = 0..256.
alignas(64) constexpr Entry kTable[257] = {
    {0x1p+0, 0x0p+0, 0x0p+0, 0x0p+0},                                                  // 0
    {0x1.fep-1, 0x1.008055958p-8, 0x1.166afcb31c67bp-45, 0x1.b3b66f4524a18p-101},      // 1
    {0x1.fcp-1, 0x1.010157588p-7, 0x1.bce251998b506p-44, -0x1.897fc2dd1fa0fp-101},     // 2
    {0x1.fap-1, 0x1.82448a388p-7, 0x1.4554412c584ep-44, -0x1.ecbffa987dd78p-99},       // 3
    {0x1.f8p-1, 0x1.020565893p-6, 0x1.611d27c8e8417p-44, -0x1.8e1119642aac1p-100},     // 4
    {0x1.f6p-1, 0x1.432a92598p-6, 0x1.98139928637fep-47, -0x1.925a8d1f276f9p-104},     // 5
    {0x1.f4p-1, 0x1.8492528c9p-6, -0x1.aa0ba325a0c34p-45, 0x1.664a3b7ab060fp-102},     // 6
    {0x1.f2p-1, 0x1.c63d2ec15p-6, -0x1.5439ce030a687p-44, 0x1.09e6386b8e725p-98},      // 7
    {0x1.fp-1, 0x1.0415d89e78p-5, -0x1.dddc7f461c516p-44, 0x1.b1113bc1c184dp-98},      // 8
    {0x1.efp-1, 0x1.149e3e4008p-5, -0x1.2b98a9a4168fdp-44, 0x1.4148c644d7178p-100},    // 9
    {0x1.edp-1, 0x1.35c8bfaa1p-5, 0x1.8357d5ef9eb35p-44, 0x1.5e2e3ff988ef9p-98},       // 10
    {0x1.ebp-1, 0x1.5715c4c04p-5, -0x1.8888ddfc47628p-44, -0x1.b560e565002b7p-101},    // 11
    {0x1.e9p-1, 0x1.788595a358p-5, -0x1.08b0d083b3a4cp-46, -0x1.b737299c26e86p-101},   // 12
    {0x1.e7p-1, 0x1.9a187b574p-5, -0x1.0c22e4ec4d90dp-44, -0x1.9d572a0df3e12p-98},     // 13
    {0x1.e5p-1, 0x1.bbcebfc69p-5, -0x1.7bf868c317c2ap-46, -0x1.08dc9c7a63b95p-100},    // 14
    {0x1.e4p-1, 0x1.ccb73cddd8p-5, 0x1.965c36e09f5fep-44, 0x1.02c6b002dac7dp-99},      // 15
    {0x1.e2p-1, 0x1.eea31c0068p-5, 0x1.c3dd83606d891p-44, -0x1.b361d5b1da06p-98},      // 16
    {0x1.ep-1, 0x1.08598b59e4p-4, -0x1.7e5dd7009902cp-46, 0x1.9b96097e362c8p-103},     // 17
    {0x1.dep-1, 0x1.1973bd1464p-4, 0x1.566d154f930b3p-44, -0x1.67add756afffep-98},     // 18
    {0x1.ddp-1, 0x1.2207b5c784p-4, 0x1.49d8cfc10c7bfp-44, -0x1.d54a98e61f383p-99},     // 19
    {0x1.dbp-1, 0x1.333d7f8184p-4, -0x1.692b6a81b8848p-49, 0x1.627bc36e657d7p-103},    // 20
    {0x1.d9p-1, 0x1.4485e03dbcp-4, 0x1.fad46e8d26ab7p-44, -0x1.c8e1a47530ea3p-101},    // 21
    {0x1.d7p-1, 0x1.55e10050ep-4, 0x1.c1d740c53c72ep-47, 0x1.f2441c1c0cad1p-101},      // 22
    {0x1.d6p-1, 0x1.5e95a4d978p-4, 0x1.1cb7ce1d17171p-44, 0x1.429fe19b35ad7p-100},     // 23
    {0x1.d4p-1, 0x1.700d30aeacp-4, 0x1.c1e8da99ded32p-49, 0x1.7d845c23136fap-104},     // 24
    {0x1.d2p-1, 0x1.8197e2f41p-4, -0x1.c0fe460d20041p-44, -0x1.2bd7066791ff1p-100},    // 25
    {0x1.d1p-1, 0x1.8a6477a91cp-4, 0x1.c28c0af9bd6dfp-44, 0x1.bdedec0db3363p-98},      // 26
    {0x1.cfp-1, 0x1.9c0c32d4d4p-4, -0x1.ab7c09e838668p-44, 0x1.5326765f73318p-99},     // 27
    {0x1.cep-1, 0x1.a4e7640b1cp-4, -0x1.e42b6b94407c8p-47, -0x1.2cb37ce70adccp-101},   // 28
    {0x1.ccp-1, 0x1.b6ac88dad4p-4, 0x1.b1bdff50225c7p-44, -0x1.2cf8ce45914edp-98},     // 29
    {0x1.cap-1, 0x1.c885801bc4p-4, 0x1.646d1c65aacd3p-45, 0x1.c1799a244d3eep-100},     // 30
    {0x1.c9p-1, 0x1.d179788218p-4, 0x1.36433b5efbeedp-44, 0x1.694f2daff3505p-98},      // 31
    {0x1.c7p-1, 0x1.e3707ee304p-4, 0x1.0f684e6766abdp-45, -0x1.3354e28e8bf87p-101},    // 32
    {0x1.c6p-1, 0x1.ec739830ap-4, 0x1.11fcba80cdd1p-44, -0x1.a7e11980fad2cp-100},      // 33
    {0x1.c4p-1, 0x1.fe89139dbcp-4, 0x1.56594d82f7a82p-44, -0x1.3936b709efb22p-98},     // 34
    {0x1.c2p-1, 0x1.08598b59e4p-3, -0x1.7e5dd7009902cp-45, 0x1.9b96097e362c8p-102},    // 35
    {0x1.c1p-1, 0x1.0ce7ecdcccp-3, 0x1.4652dabff5447p-46, -0x1.59691abae4484p-101},    // 36
    {0x1.bfp-1, 0x1.160c8024b2p-3, 0x1.ec2d2a9009e3dp-45, 0x1.015a1136855b4p-99},      // 37
    {0x1.bep-1, 0x1.1aa2b7e24p-3, -0x1.1ac38dde3b366p-44, 0x1.0819797fa67e5p-99},      // 38
    {0x1.bcp-1, 0x1.23d712a49cp-3, 0x1.00d238fd3df5cp-46, 0x1.4b59f9ec8093cp-100},     // 39
    {0x1.bbp-1, 0x1.28753bc11ap-3, 0x1.7494e359302e6p-44, 0x1.9ddc756bda636p-98},      // 40
    {0x1.b9p-1, 0x1.31b994d3a4p-3, 0x1.f098ee3a5081p-44, -0x1.99206e7660363p-99},      // 41
    {0x1.b8p-1, 0x1.365fcb015ap-3, -0x1.fd3a0afb9691bp-44, 0x1.2b2a1c206c034p-100},    // 42
    {0x1.b6p-1, 0x1.3fb45a5992p-3, 0x1.19713c0cae559p-44, 0x1.f5355181dc751p-98},      // 43
    {0x1.b5p-1, 0x1.4462b9dc9cp-3, -0x1.84858a711b062p-44, 0x1.c7b66c1e36d71p-98},     // 44
    {0x1.b3p-1, 0x1.4dc7b897bcp-3, 0x1.c79b60ae1ff0fp-47, -0x1.f4796ab9c20eep-101},    // 45
    {0x1.b2p-1, 0x1.527e5e4a1cp-3, -0x1.4e60b8d4b411dp-44, 0x1.48054adf9c14cp-98},     // 46
    {0x1.b1p-1, 0x1.5737cc9018p-3, 0x1.9baa7a6b887f6p-44, 0x1.c6e349f1e147dp-100},     // 47
    {0x1.afp-1, 0x1.60b3100b0ap-3, -0x1.71456c988f814p-44, -0x1.6afc6eb2bd04cp-102},   // 48
    {0x1.aep-1, 0x1.6574ebe8c2p-3, -0x1.98c1d34f0f462p-44, -0x1.bed4161fe2017p-100},   // 49
    {0x1.acp-1, 0x1.6f0128b756p-3, 0x1.577390d31ef0fp-44, 0x1.32750fde6c6fcp-98},      // 50
    {0x1.abp-1, 0x1.73cb9074fep-3, -0x1.d66a90d0005a6p-44, -0x1.e018dbdedf695p-98},    // 51
    {0x1.aap-1, 0x1.7898d85444p-3, 0x1.8e67be3dbaf3fp-44, -0x1.bfd2b78edcacfp-99},     // 52
    {0x1.a8p-1, 0x1.823c16551ap-3, 0x1.e0ddb9a631e83p-46, 0x1.fa61207ab3db7p-103},     // 53
    {0x1.a7p-1, 0x1.871213750ep-3, 0x1.328eb42f9af75p-44, 0x1.4ff2d51c17205p-100},     // 54
    {0x1.a5p-1, 0x1.90c6db9fccp-3, -0x1.935f57718d7cap-46, -0x1.335b4ac0be012p-100},   // 55
    {0x1.a4p-1, 0x1.95a5adcf7p-3, 0x1.7f22858a0ff6fp-47, 0x1.1e85fb4e620a8p-101},      // 56
    {0x1.a3p-1, 0x1.9a8778debap-3, 0x1.470fa3efec39p-44, -0x1.e05b9f1779473p-99},      // 57
    {0x1.a1p-1, 0x1.a454082e6ap-3, 0x1.60a77c81f7171p-44, -0x1.67373d182facfp-99},     // 58
    {0x1.ap-1, 0x1.a93ed3c8aep-3, -0x1.8724350562169p-45, 0x1.01b99b9dc622cp-100},     // 59
    {0x1.9fp-1, 0x1.ae2ca6f672p-3, 0x1.7a8d5ae54f55p-44, 0x1.113b3e2e655eap-98},       // 60
    {0x1.9dp-1, 0x1.b811730b82p-3, 0x1.e90683b9cd768p-46, -0x1.e2729d6bf0117p-101},    // 61
    {0x1.9cp-1, 0x1.bd087383bep-3, -0x1.d4bc4595412b6p-45, 0x1.6d742aa9f6519p-100},    // 62
    {0x1.9bp-1, 0x1.c2028ab18p-3, -0x1.92e0ee55c7ac6p-45, 0x1.7c2461d8fd49fp-99},      // 63
    {0x1.9ap-1, 0x1.c6ffbc6fp-3, 0x1.ee138d3a69d43p-44, -0x1.292f0fc636576p-99},       // 64
    {0x1.98p-1, 0x1.d1037f2656p-3, -0x1.84a7e75b6f6e4p-47, 0x1.a21f01fe115ecp-101},    // 65
    {0x1.97p-1, 0x1.d60a17f904p-3, -0x1.5d6e06fc20d39p-44, 0x1.2188aa6e92e8cp-99},     // 66
    {0x1.96p-1, 0x1.db13db0d48p-3, 0x1.2806a847527e6p-44, -0x1.3477ce854f635p-98},     // 67
    {0x1.95p-1, 0x1.e020cc6236p-3, -0x1.52b00adb91424p-45, 0x1.d0e1d781bbf81p-102},    // 68
    {0x1.93p-1, 0x1.ea4449f04ap-3, 0x1.5e91663732a36p-44, -0x1.d00baad99e503p-103},    // 69
    {0x1.92p-1, 0x1.ef5ade4ddp-3, -0x1.a211565bb8e11p-51, -0x1.034b27b0497c8p-105},    // 70
    {0x1.91p-1, 0x1.f474b134ep-3, -0x1.bae49f1df7b5ep-44, 0x1.5529a6fa937d8p-98},      // 71
    {0x1.9p-1, 0x1.f991c6cb3cp-3, -0x1.90d04cd7cc834p-44, 0x1.431b60ec89db9p-102},     // 72
    {0x1.8ep-1, 0x1.01eae5626cp-2, 0x1.a43dcfade85aep-44, -0x1.970c54175fc8fp-98},     // 73
    {0x1.8dp-1, 0x1.047e60cde8p-2, 0x1.dbdf10d397f3cp-45, 0x1.a212e2a91d8dep-99},      // 74
    {0x1.8cp-1, 0x1.07138604d6p-2, -0x1.e76324e912b17p-44, 0x1.387d0fa14d762p-100},    // 75
    {0x1.8bp-1, 0x1.09aa572e6cp-2, 0x1.b50a1e1734342p-44, 0x1.aa506ac83f528p-98},      // 76
    {0x1.8ap-1, 0x1.0c42d67616p-2, 0x1.7188b163ceae9p-45, -0x1.c237c38995c01p-99},     // 77
    {0x1.88p-1, 0x1.1178e8227ep-2, 0x1.1ef78ce2d07f2p-44, -0x1.a42fc38895c05p-99},     // 78
    {0x1.87p-1, 0x1.14167ef367p-2, 0x1.e0c07824daaf5p-44, 0x1.f4dcc35c7e574p-99},      // 79
    {0x1.86p-1, 0x1.16b5ccbadp-2, -0x1.23299042d74bfp-44, -0x1.b2b4e8cc9cc5fp-98},     // 80
    {0x1.85p-1, 0x1.1956d3b9bcp-2, 0x1.7d2f73ad1aa14p-45, 0x1.5ca78b4c16bf2p-100},     // 81
    {0x1.84p-1, 0x1.1bf99635a7p-2, -0x1.1ac89575c2125p-44, 0x1.bb95eb3884a95p-98},     // 82
    {0x1.83p-1, 0x1.1e9e16788ap-2, -0x1.82eaed3c8b65ep-44, -0x1.b181229f008e9p-100},   // 83
    {0x1.82p-1, 0x1.214456d0ecp-2, -0x1.caf0428b728a3p-44, 0x1.827221dc98495p-99},     // 84
    {0x1.8p-1, 0x1.269621134ep-2, -0x1.1b61f10522625p-44, 0x1.55385461e921cp-103},     // 85
    {0x1.7fp-1, 0x1.2941afb187p-2, -0x1.210c2b730e28bp-44, 0x1.17ff9592880d3p-98},     // 86
    {0x1.7ep-1, 0x1.2bef07cdc9p-2, 0x1.a9cfa4a5004f4p-45, -0x1.0f9cced35361p-101},     // 87
    {0x1.7dp-1, 0x1.2e9e2bce12p-2, 0x1.4300c128d1dc2p-45, -0x1.3431adc4a5589p-101},    // 88
    {0x1.7cp-1, 0x1.314f1e1d36p-2, -0x1.8e27ad3213cb8p-45, -0x1.ee3e1f1ade78dp-99},    // 89
    {0x1.7bp-1, 0x1.3401e12aedp-2, -0x1.17c73556e291dp-44, -0x1.b01954216e4fdp-100},   // 90
    {0x1.7ap-1, 0x1.36b6776be1p-2, 0x1.16ecdb0f177c8p-46, -0x1.636a0ed7ed87ep-100},    // 91
    {0x1.79p-1, 0x1.396ce359bcp-2, -0x1.5839c5663663dp-47, -0x1.5faed7770d521p-103},   // 92
    {0x1.78p-1, 0x1.3c25277333p-2, 0x1.83b54b606bd5cp-46, 0x1.39d42af7ac0c1p-100},     // 93
    {0x1.76p-1, 0x1.419b423d5fp-2, -0x1.ce379226de3ecp-44, -0x1.8dce49041484cp-98},    // 94
    {0x1.75p-1, 0x1.44591e053ap-2, -0x1.6e95892923d88p-47, 0x1.6d3cee6bc2e32p-102},    // 95
    {0x1.74p-1, 0x1.4718dc271cp-2, 0x1.06c18fb4c14c5p-44, 0x1.bbbafe64d0cdep-98},      // 96
    {0x1.73p-1, 0x1.49da7f3bccp-2, 0x1.07b334daf4b9ap-44, -0x1.5938e7de4fd14p-98},     // 97
    {0x1.72p-1, 0x1.4c9e09e173p-2, -0x1.e20891b0ad8a4p-45, 0x1.68ae10f7dc452p-100},    // 98
    {0x1.71p-1, 0x1.4f637ebbaap-2, -0x1.fc158cb3124b9p-44, -0x1.22859605c59dfp-99},    // 99
    {0x1.7p-1, 0x1.522ae0738ap-2, 0x1.ebe708164c759p-45, 0x1.a1a888231891bp-99},       // 100
    {0x1.6fp-1, 0x1.54f431b7bep-2, 0x1.a8954c0910952p-46, -0x1.14497bac9df9p-100},     // 101
    {0x1.6ep-1, 0x1.57bf753c8dp-2, 0x1.fadedee5d40efp-46, -0x1.b18ca166aac0bp-100},    // 102
    {0x1.6dp-1, 0x1.5a8cadbbeep-2, -0x1.7c79b0af7ecf8p-48, -0x1.bad45da64f49bp-105},   // 103
    {0x1.6cp-1, 0x1.5d5bddf596p-2, -0x1.a0b2a08a465dcp-47, -0x1.44ec4fd59f3b2p-101},   // 104
    {0x1.6bp-1, 0x1.602d08af09p-2, 0x1.ebe9176df3f65p-46, -0x1.cfcb956e0d4c3p-100},    // 105
    {0x1.6ap-1, 0x1.630030b3abp-2, -0x1.db623e731aep-45, -0x1.9ae18cad111a1p-103},     // 106
    {0x1.69p-1, -0x1.5ff3070a79p-2, -0x1.e9e439f105039p-45, -0x1.23bafe6aae39bp-102},  // 107
    {0x1.68p-1, -0x1.5d1bdbf581p-2, 0x1.8d6bdc9c7c238p-44, 0x1.eea60c7f4b595p-104},    // 108
    {0x1.67p-1, -0x1.5a42ab0f4dp-2, 0x1.e63af2df7ba69p-50, -0x1.adf2bab2b97e6p-107},   // 109
    {0x1.66p-1, -0x1.5767717456p-2, 0x1.64ead9524d7cap-44, -0x1.82f403e2e0d0dp-98},    // 110
    {0x1.65p-1, -0x1.548a2c3addp-2, -0x1.3167e63081cf7p-45, -0x1.124fad7d9c452p-100},  // 111
    {0x1.64p-1, -0x1.51aad872ep-2, 0x1.f4bd8db0a7cc1p-44, 0x1.50e7715858654p-98},      // 112
    {0x1.63p-1, -0x1.4ec97326p-2, -0x1.34d7aaf04d104p-45, -0x1.d0c06183366e6p-99},     // 113
    {0x1.62p-1, -0x1.4be5f95778p-2, 0x1.d7c92cd9ad824p-44, 0x1.3cdc28d5974f3p-101},    // 114
    {0x1.61p-1, -0x1.4900680401p-2, 0x1.8bccffe1a0f8cp-44, -0x1.04822d90ceb5bp-98},    // 115
    {0x1.6p-1, -0x1.4618bc21c6p-2, 0x1.3d82f484c84ccp-46, 0x1.c65df511a65b6p-101},     // 116
    {0x1.5fp-1, -0x1.432ef2a04fp-2, 0x1.fb129931715adp-44, -0x1.bf2c06a968364p-98},    // 117
    {0x1.5ep-1, -0x1.404308686ap-2, -0x1.f8ef43049f7d3p-44, -0x1.92985641827dap-100},  // 118
    {0x1.5ep-1, -0x1.404308686ap-2, -0x1.f8ef43049f7d3p-44, -0x1.92985641827dap-100},  // 119
    {0x1.5dp-1, -0x1.3d54fa5c1fp-2, -0x1.c3e1cd9a395e3p-44, -0x1.9cc914f317229p-98},   // 120
    {0x1.5cp-1, -0x1.3a64c55694p-2, -0x1.7a71cbcd735dp-44, -0x1.a11beb7a3cee8p-99},    // 121
    {0x1.5bp-1, -0x1.3772662bfep-2, 0x1.e9436ac53b023p-44, -0x1.0caf21b056ebdp-102},   // 122
    {0x1.5ap-1, -0x1.347dd9a988p-2, 0x1.5594dd4c58092p-45, -0x1.821ee510a580bp-99},    // 123
    {0x1.59p-1, -0x1.31871c9544p-2, -0x1.84fab94cecfd9p-46, -0x1.90d732fc2e96ap-101},  // 124
    {0x1.58p-1, -0x1.2e8e2bae12p-2, 0x1.67b1e99b72bd8p-45, -0x1.03679bdbbd6b8p-99},    // 125
    {0x1.57p-1, -0x1.2b9303ab8ap-2, 0x1.6db12d6bfb0a5p-45, 0x1.6a20a53917c57p-99},     // 126
    {0x1.56p-1, -0x1.2895a13de8p-2, -0x1.a8d7ad24c13fp-44, -0x1.03962d6a3aaccp-98},    // 127
    {0x1.55p-1, -0x1.2596010df7p-2, -0x1.8e7bc224ea3e3p-44, 0x1.e9dcfa63f6504p-98},    // 128
    {0x1.54p-1, -0x1.22941fbcf8p-2, 0x1.a6976f5eb0963p-44, -0x1.d432f4ba6ab4ep-98},    // 129
    {0x1.54p-1, -0x1.22941fbcf8p-2, 0x1.a6976f5eb0963p-44, -0x1.d432f4ba6ab4ep-98},    // 130
    {0x1.53p-1, -0x1.1f8ff9e48ap-2, -0x1.7946c040cbe77p-45, 0x1.834e61b83793cp-99},    // 131
    {0x1.52p-1, -0x1.1c898c169ap-2, 0x1.81410e5c62affp-44, 0x1.c443cc477d115p-100},    // 132
    {0x1.51p-1, -0x1.1980d2dd42p-2, -0x1.b7b3a7a361c9ap-45, -0x1.469c533155bfbp-100},  // 133
    {0x1.5p-1, -0x1.1675cababap-2, -0x1.8380e731f55c4p-44, -0x1.b8b823f067d05p-100},   // 134
    {0x1.4fp-1, -0x1.136870293bp-2, 0x1.d3e8499d67123p-44, -0x1.24fad6931ae76p-99},    // 135
    {0x1.4ep-1, -0x1.1058bf9ae5p-2, 0x1.4ab9d817d52cdp-44, 0x1.9c60f598d3a32p-99},     // 136
    {0x1.4ep-1, -0x1.1058bf9ae5p-2, 0x1.4ab9d817d52cdp-44, 0x1.9c60f598d3a32p-99},     // 137
    {0x1.4dp-1, -0x1.0d46b579abp-2, -0x1.d2c81f640e1e6p-44, 0x1.36d19984ae83dp-100},   // 138
    {0x1.4cp-1, -0x1.0a324e2739p-2, -0x1.c6bee7ef4030ep-47, -0x1.87146f01ad7dfp-107},  // 139
    {0x1.4bp-1, -0x1.071b85fcd6p-2, 0x1.bcb8ba3e01a11p-44, -0x1.e802019436ff4p-98},    // 140
    {0x1.4ap-1, -0x1.0402594b4dp-2, -0x1.036b89ef42d7fp-48, 0x1.6a1bbb899f344p-104},   // 141
    {0x1.49p-1, -0x1.00e6c45ad5p-2, -0x1.cc68d52e01203p-50, 0x1.674fc7b071796p-104},   // 142
    {0x1.49p-1, -0x1.00e6c45ad5p-2, -0x1.cc68d52e01203p-50, 0x1.674fc7b071796p-104},   // 143
    {0x1.48p-1, -0x1.fb9186d5e4p-3, 0x1.d572aab993c87p-47, -0x1.34b282480b089p-101},   // 144
    {0x1.47p-1, -0x1.f550a564b8p-3, 0x1.323e3a09202fep-45, 0x1.cf23f33aff5a5p-99},     // 145
    {0x1.46p-1, -0x1.ef0adcbdc6p-3, 0x1.b26b79c86af24p-45, -0x1.06429f5a50987p-100},   // 146
    {0x1.45p-1, -0x1.e8c0252aa6p-3, 0x1.6805b80e8e6ffp-45, 0x1.135108e4d9657p-100},    // 147
    {0x1.44p-1, -0x1.e27076e2bp-3, 0x1.a342c2af0003cp-44, 0x1.61eaa246b143cp-103},     // 148
    {0x1.44p-1, -0x1.e27076e2bp-3, 0x1.a342c2af0003cp-44, 0x1.61eaa246b143cp-103},     // 149
    {0x1.43p-1, -0x1.dc1bca0abep-3, -0x1.8fac1a628ccc6p-44, 0x1.207c45a95d71p-98},     // 150
    {0x1.42p-1, -0x1.d5c216b4fcp-3, 0x1.1ba91bbca681bp-45, 0x1.5ff1e1c98c2edp-100},    // 151
    {0x1.41p-1, -0x1.cf6354e09cp-3, -0x1.771239a07d55bp-45, -0x1.a55a107710287p-99},   // 152
    {0x1.4p-1, -0x1.c8ff7c79aap-3, 0x1.7794f689f8434p-45, 0x1.1976d471342b1p-105},     // 153
    {0x1.4p-1, -0x1.c8ff7c79aap-3, 0x1.7794f689f8434p-45, 0x1.1976d471342b1p-105},     // 154
    {0x1.3fp-1, -0x1.c2968558c2p-3, 0x1.cfd73dee38a4p-45, -0x1.25403e01ea4fap-99},     // 155
    {0x1.3ep-1, -0x1.bc286742d8p-3, -0x1.9ac53f39d121cp-44, -0x1.ea9e1e2c3dca4p-99},   // 156
    {0x1.3dp-1, -0x1.b5b519e8fcp-3, 0x1.4b722ec011f31p-44, -0x1.a04f73c1b89fp-101},    // 157
    {0x1.3dp-1, -0x1.b5b519e8fcp-3, 0x1.4b722ec011f31p-44, -0x1.a04f73c1b89fp-101},    // 158
    {0x1.3cp-1, -0x1.af3c94e80cp-3, 0x1.a4e633fcd9066p-52, 0x1.468989647465ap-108},    // 159
    {0x1.3bp-1, -0x1.a8becfc882p-3, -0x1.e3185cf21b9cfp-44, -0x1.854562c0a10acp-100},  // 160
    {0x1.3ap-1, -0x1.a23bc1fe2cp-3, 0x1.539cd91dc9f0bp-44, -0x1.98c27e3f1b66ep-99},    // 161
    {0x1.3ap-1, -0x1.a23bc1fe2cp-3, 0x1.539cd91dc9f0bp-44, -0x1.98c27e3f1b66ep-99},    // 162
    {0x1.39p-1, -0x1.9bb362e7ep-3, 0x1.1f2a8a1ce0ffcp-45, 0x1.f3daf0daa3cabp-101},     // 163
    {0x1.38p-1, -0x1.9525a9cf46p-3, 0x1.297137d9f158fp-44, -0x1.c4b3b13282fb5p-98},    // 164
    {0x1.37p-1, -0x1.8e928de886p-3, -0x1.a8154b13d72d5p-44, 0x1.dbfc7e5e39107p-99},    // 165
    {0x1.37p-1, -0x1.8e928de886p-3, -0x1.a8154b13d72d5p-44, 0x1.dbfc7e5e39107p-99},    // 166
    {0x1.36p-1, -0x1.87fa06520cp-3, -0x1.22120401202fcp-44, 0x1.b344296aa3ed2p-98},    // 167
    {0x1.35p-1, -0x1.815c0a1436p-3, 0x1.02a52f9201ce8p-44, 0x1.58ebca4224419p-100},    // 168
    {0x1.34p-1, -0x1.7ab890210ep-3, 0x1.bdb9072534a58p-45, -0x1.820191ff85253p-101},   // 169
    {0x1.34p-1, -0x1.7ab890210ep-3, 0x1.bdb9072534a58p-45, -0x1.820191ff85253p-101},   // 170
    {0x1.33p-1, -0x1.740f8f5404p-3, 0x1.0b66c99018aa1p-44, 0x1.9b685f4abf888p-99},     // 171
    {0x1.32p-1, -0x1.6d60fe719ep-3, 0x1.bc6e557134767p-44, -0x1.d0de37da32582p-98},    // 172
    {0x1.32p-1, -0x1.6d60fe719ep-3, 0x1.bc6e557134767p-44, -0x1.d0de37da32582p-98},    // 173
    {0x1.31p-1, -0x1.66acd4272ap-3, -0x1.aa1bdbfc6c785p-44, -0x1.74d9fd53d790ep-98},   // 174
    {0x1.3p-1, -0x1.5ff3070a7ap-3, 0x1.8586f183bebf2p-44, -0x1.091dd7f35571dp-98},     // 175
    {0x1.2fp-1, -0x1.59338d9982p-3, -0x1.0ba68b7555d4ap-48, -0x1.8ac1c3e21b65p-105},   // 176
    {0x1.2fp-1, -0x1.59338d9982p-3, -0x1.0ba68b7555d4ap-48, -0x1.8ac1c3e21b65p-105},   // 177
    {0x1.2ep-1, -0x1.526e5e3a1cp-3, 0x1.790ba37fc5238p-44, 0x1.a732c9219ce25p-98},     // 178
    {0x1.2dp-1, -0x1.4ba36f39a6p-3, 0x1.4354bb3f219e5p-44, -0x1.d57f7da0084bap-99},    // 179
    {0x1.2dp-1, -0x1.4ba36f39a6p-3, 0x1.4354bb3f219e5p-44, -0x1.d57f7da0084bap-99},    // 180
    {0x1.2cp-1, -0x1.44d2b6ccb8p-3, 0x1.70cc16135783cp-46, 0x1.e1f3be9a83374p-103},    // 181
    {0x1.2bp-1, -0x1.3dfc2b0eccp-3, -0x1.8a72a62b8c13fp-45, -0x1.fd125f880bf71p-99},   // 182
    {0x1.2bp-1, -0x1.3dfc2b0eccp-3, -0x1.8a72a62b8c13fp-45, -0x1.fd125f880bf71p-99},   // 183
    {0x1.2ap-1, -0x1.371fc201e8p-3, -0x1.ee8779b2d8abcp-44, -0x1.89fcba07cc9b7p-98},   // 184
    {0x1.29p-1, -0x1.303d718e48p-3, 0x1.680b5ce3ecb05p-50, -0x1.c0b50c68499d9p-104},   // 185
    {0x1.29p-1, -0x1.303d718e48p-3, 0x1.680b5ce3ecb05p-50, -0x1.c0b50c68499d9p-104},   // 186
    {0x1.28p-1, -0x1.29552f82p-3, 0x1.5b967f4471dfcp-44, 0x1.20b2ef60436f9p-100},      // 187
    {0x1.27p-1, -0x1.2266f190a6p-3, 0x1.4d20ab840e7f6p-45, 0x1.778456ec4eb1ep-101},    // 188
    {0x1.27p-1, -0x1.2266f190a6p-3, 0x1.4d20ab840e7f6p-45, 0x1.778456ec4eb1ep-101},    // 189
    {0x1.26p-1, -0x1.1b72ad52f6p-3, -0x1.e80a41811a396p-45, -0x1.ae73f3bc7ec85p-99},   // 190
    {0x1.25p-1, -0x1.1478584674p-3, -0x1.563451027c75p-46, 0x1.f1909b321f863p-102},    // 191
    {0x1.25p-1, -0x1.1478584674p-3, -0x1.563451027c75p-46, 0x1.f1909b321f863p-102},    // 192
    {0x1.24p-1, -0x1.0d77e7cd08p-3, -0x1.cb2cd2ee2f482p-44, 0x1.ea8b8edecd2c1p-98},    // 193
    {0x1.23p-1, -0x1.0671512ca6p-3, 0x1.a47579cdc0a3dp-45, -0x1.2630b385bf6abp-100},   // 194
    {0x1.23p-1, -0x1.0671512ca6p-3, 0x1.a47579cdc0a3dp-45, -0x1.2630b385bf6abp-100},   // 195
    {0x1.22p-1, -0x1.fec9131dcp-4, 0x1.54555d1ae6607p-44, -0x1.9271dff48f15dp-99},     // 196
    {0x1.21p-1, -0x1.f0a30c0118p-4, 0x1.d599e83368e91p-44, 0x1.4cd0ece597166p-100},    // 197
    {0x1.21p-1, -0x1.f0a30c0118p-4, 0x1.d599e83368e91p-44, 0x1.4cd0ece597166p-100},    // 198
    {0x1.2p-1, -0x1.e27076e2bp-4, 0x1.a342c2af0003cp-45, 0x1.61eaa246b143cp-104},      // 199
    {0x1.1fp-1, -0x1.d4313d66ccp-4, 0x1.9454379135713p-45, 0x1.e0bb7da9b25dbp-99},     // 200
    {0x1.1fp-1, -0x1.d4313d66ccp-4, 0x1.9454379135713p-45, 0x1.e0bb7da9b25dbp-99},     // 201
    {0x1.1ep-1, -0x1.c5e548f5bcp-4, -0x1.d0c57585fbe06p-46, 0x1.e4e8962699507p-100},   // 202
    {0x1.1ep-1, -0x1.c5e548f5bcp-4, -0x1.d0c57585fbe06p-46, 0x1.e4e8962699507p-100},   // 203
    {0x1.1dp-1, -0x1.b78c82bb1p-4, 0x1.25ef7bc3987e7p-44, -0x1.f8824f4ec780dp-99},     // 204
    {0x1.1cp-1, -0x1.a926d3a4acp-4, -0x1.563650bd22a9cp-44, -0x1.d5263cd4fb3f1p-99},   // 205
    {0x1.1cp-1, -0x1.a926d3a4acp-4, -0x1.563650bd22a9cp-44, -0x1.d5263cd4fb3f1p-99},   // 206
    {0x1.1bp-1, -0x1.9ab4246204p-4, 0x1.8a64826787061p-45, 0x1.d1c376a5972ecp-100},    // 207
    {0x1.1ap-1, -0x1.8c345d6318p-4, -0x1.b20f5acb42a66p-44, 0x1.254bca8fd9fc2p-100},   // 208
    {0x1.1ap-1, -0x1.8c345d6318p-4, -0x1.b20f5acb42a66p-44, 0x1.254bca8fd9fc2p-100},   // 209
    {0x1.19p-1, -0x1.7da766d7bp-4, -0x1.2cc844480c89bp-44, 0x1.3097ba8ba1667p-102},    // 210
    {0x1.19p-1, -0x1.7da766d7bp-4, -0x1.2cc844480c89bp-44, 0x1.3097ba8ba1667p-102},    // 211
    {0x1.18p-1, -0x1.6f0d28ae58p-4, 0x1.4b4641b664613p-44, -0x1.9b640ce50c1efp-100},   // 212
    {0x1.17p-1, -0x1.60658a9374p-4, -0x1.0c3b1dee9c4f8p-44, 0x1.b698e64adc49ep-98},    // 213
    {0x1.17p-1, -0x1.60658a9374p-4, -0x1.0c3b1dee9c4f8p-44, 0x1.b698e64adc49ep-98},    // 214
    {0x1.16p-1, -0x1.51b073f06p-4, -0x1.83f69278e686ap-44, -0x1.7c8ac25e4e3fp-99},     // 215
    {0x1.16p-1, -0x1.51b073f06p-4, -0x1.83f69278e686ap-44, -0x1.7c8ac25e4e3fp-99},     // 216
    {0x1.15p-1, -0x1.42edcbea64p-4, -0x1.bc0eeea7c9acdp-46, 0x1.26da2e689c25ep-100},   // 217
    {0x1.15p-1, -0x1.42edcbea64p-4, -0x1.bc0eeea7c9acdp-46, 0x1.26da2e689c25ep-100},   // 218
    {0x1.14p-1, -0x1.341d7961bcp-4, -0x1.1d0929983761p-44, -0x1.344dd408683b3p-98},    // 219
    {0x1.13p-1, -0x1.253f62f0ap-4, -0x1.416f8fb69a701p-44, 0x1.33f5d2c3f5a49p-100},    // 220
    {0x1.13p-1, -0x1.253f62f0ap-4, -0x1.416f8fb69a701p-44, 0x1.33f5d2c3f5a49p-100},    // 221
    {0x1.12p-1, -0x1.16536eea38p-4, 0x1.47c5e768fa309p-46, -0x1.325e46da42906p-100},   // 222
    {0x1.12p-1, -0x1.16536eea38p-4, 0x1.47c5e768fa309p-46, -0x1.325e46da42906p-100},   // 223
    {0x1.11p-1, -0x1.075983599p-4, 0x1.b8ecfe4b59987p-44, 0x1.d2405deb5794ap-98},      // 224
    {0x1.1p-1, -0x1.f0a30c0118p-5, 0x1.d599e83368e91p-45, 0x1.4cd0ece597166p-101},     // 225
    {0x1.1p-1, -0x1.f0a30c0118p-5, 0x1.d599e83368e91p-45, 0x1.4cd0ece597166p-101},     // 226
    {0x1.0fp-1, -0x1.d276b8adbp-5, -0x1.6a423c78a64bp-46, 0x1.5c71899c12331p-104},     // 227
    {0x1.0fp-1, -0x1.d276b8adbp-5, -0x1.6a423c78a64bp-46, 0x1.5c71899c12331p-104},     // 228
    {0x1.0ep-1, -0x1.b42dd71198p-5, 0x1.c827ae5d6704cp-46, 0x1.2645ad50c7673p-102},    // 229
    {0x1.0ep-1, -0x1.b42dd71198p-5, 0x1.c827ae5d6704cp-46, 0x1.2645ad50c7673p-102},    // 230
    {0x1.0dp-1, -0x1.95c830ec9p-5, 0x1.c148297c5feb8p-45, -0x1.7e330f883ddbbp-100},    // 231
    {0x1.0dp-1, -0x1.95c830ec9p-5, 0x1.c148297c5feb8p-45, -0x1.7e330f883ddbbp-100},    // 232
    {0x1.0cp-1, -0x1.77458f633p-5, 0x1.181dce586af09p-44, -0x1.2960b1e4dfb81p-99},     // 233
    {0x1.0bp-1, -0x1.58a5bafc9p-5, 0x1.b2b739570ad39p-45, -0x1.48dd980930a36p-99},     // 234
    {0x1.0bp-1, -0x1.58a5bafc9p-5, 0x1.b2b739570ad39p-45, -0x1.48dd980930a36p-99},     // 235
    {0x1.0ap-1, -0x1.39e87b9fe8p-5, -0x1.eafd480ad9015p-44, -0x1.7229c8d57ae1ep-98},   // 236
    {0x1.0ap-1, -0x1.39e87b9fe8p-5, -0x1.eafd480ad9015p-44, -0x1.7229c8d57ae1ep-98},   // 237
    {0x1.09p-1, -0x1.1b0d98924p-5, 0x1.3401e9ae889bbp-44, -0x1.dbf412a68ff1ap-99},     // 238
    {0x1.09p-1, -0x1.1b0d98924p-5, 0x1.3401e9ae889bbp-44, -0x1.dbf412a68ff1ap-99},     // 239
    {0x1.08p-1, -0x1.f829b0e78p-6, -0x1.980267c7e09e4p-45, 0x1.0dd605151051fp-100},    // 240
    {0x1.08p-1, -0x1.f829b0e78p-6, -0x1.980267c7e09e4p-45, 0x1.0dd605151051fp-100},    // 241
    {0x1.07p-1, -0x1.b9fc027bp-6, 0x1.b9a010ae6922ap-44, -0x1.1bcc33ffb6a66p-99},      // 242
    {0x1.07p-1, -0x1.b9fc027bp-6, 0x1.b9a010ae6922ap-44, -0x1.1bcc33ffb6a66p-99},      // 243
    {0x1.06p-1, -0x1.7b91b07d6p-6, 0x1.3b955b602ace4p-44, -0x1.6bc01dcd4f103p-98},     // 244
    {0x1.06p-1, -0x1.7b91b07d6p-6, 0x1.3b955b602ace4p-44, -0x1.6bc01dcd4f103p-98},     // 245
    {0x1.05p-1, -0x1.3cea44347p-6, 0x1.6a2c432d6a40bp-44, -0x1.8bc866341e5c6p-99},     // 246
    {0x1.05p-1, -0x1.3cea44347p-6, 0x1.6a2c432d6a40bp-44, -0x1.8bc866341e5c6p-99},     // 247
    {0x1.04p-1, -0x1.fc0a8b0fcp-7, -0x1.f1e7cf6d3a69cp-50, 0x1.50aa4829f882ep-105},    // 248
    {0x1.04p-1, -0x1.fc0a8b0fcp-7, -0x1.f1e7cf6d3a69cp-50, 0x1.50aa4829f882ep-105},    // 249
    {0x1.03p-1, -0x1.7dc475f82p-7, 0x1.eb1245b5da1f5p-44, -0x1.06f9a850a4a18p-101},    // 250
    {0x1.03p-1, -0x1.7dc475f82p-7, 0x1.eb1245b5da1f5p-44, -0x1.06f9a850a4a18p-101},    // 251
    {0x1.02p-1, -0x1.fe02a6b1p-8, -0x1.9e23f0dda40e4p-46, -0x1.dc282d2b3db2cp-100},    // 252
    {0x1.02p-1, -0x1.fe02a6b1p-8, -0x1.9e23f0dda40e4p-46, -0x1.dc282d2b3db2cp-100},    // 253
    {0x1.01p-1, -0x1.ff00aa2bp-9, -0x1.0bc04a086b56ap-45, 0x1.2cad225b9996bp-99},      // 254
    {0x1.01p-1, -0x1.ff00aa2bp-9, -0x1.0bc04a086b56ap-45, 0x1.2cad225b9996bp-99},      // 255
    {0x1p-1, 0x0p+0, 0x0p+0, 0x0p+0},                                                  // 256
};

// ln 2 = kLn2Hi + kLn2Lo + kLn2Lo2 (+ less than 2^-156), kLn2Hi a multiple of 2^-42.
constexpr double kLn2Hi = 0x1.62e42fefa38p-1;
constexpr double kLn2Lo = 0x1.ef35793c7673p-45;
constexpr double kLn2Lo2 = 0x1.f97b57a079a19p-103;

// x = 2^e * m reduced to ln x = e' ln 2 + L(i) + ln(1 + r), r = r_hi + r_lo.
struct Reduced {
  int e;        // e'
  unsigned i;   // table index
  double r;     // exact
  double r_hi;  // m_hi c - 1: at most 26 significant bits
  double r_lo;  // m_lo c, |r_lo| <= 2^-26
};

// x positive and finite.
Reduced reduce(double x) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  int e = -1023;
  if (bits < 0x0010000000000000u) {  // subnormal: 2^52 x is normal and exact
    bits = std::bit_cast<std::uint64_t>(x * 0x1p52);
    e -= 52;
  }
  e += static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & 0x000fffffffffffffu;
  const unsigned i = static_cast<unsigned>((fraction + (std::uint64_t{1} << 43)) >> 44);
  const std::uint64_t m_bits = fraction | 0x3ff0000000000000u;
  // m_hi: m rounded to a multiple of 2^-25 (possibly 2), so |m_lo| <= 2^-26.
  const std::uint64_t m_hi_bits =
      (m_bits + (std::uint64_t{1} << 26)) & ~((std::uint64_t{1} << 27) - 1);
  const double m = std::bit_cast<double>(m_bits);
  const double m_hi = std::bit_cast<double>(m_hi_bits);
  const double m_lo = m - m_hi;
  const double c = kTable[i].c;
  const double r_hi = m_hi * c - 1.0;
  const double r_lo = m_lo * c;
  return {e + (i >= kUpper ? 1 : 0), i, r_hi + r_lo, r_hi, r_lo};
}

// Phase 1: hi + lo within 2^-67.1 |ln x|, |lo| <= 2^-16.7 |hi| (see the top
// of the file).
natural_log_phases::DoubleDouble fast_estimate(const Reduced& red) {
  const Entry& entry = kTable[red.i];
  const double r = red.r;
  const double k = static_cast<double>(red.e);
  const double big = k * kLn2Hi + entry.hi;  // exact
  const double small = k * kLn2Lo + entry.lo;

  // -r^2/2 = a - d: a exact, d = r_hi r_lo + r_lo^2/2 rounded (it is small).
  const double a = red.r_hi * (-0.5 * red.r_hi);
  const double d = red.r_lo * (red.r_hi + 0.5 * red.r_lo);

  // p ~ r^3 Q(r), Q(r) = (ln(1+r) - r + r^2/2) / r^3 = 1/3 - r/4 + r^2/5 - ...
  // approximated on |r| <= 0x1.7f8p-9 by the degree-5 polynomial that
  // interpolates it at the Chebyshev nodes (printed by the table generator).
  constexpr double kQ0 = 0x1.5555555555555p-2, kQ1 = -0x1p-2, kQ2 = 0x1.99999999714f6p-3,
                   kQ3 = -0x1.5555555531129p-3, kQ4 = 0x1.249308a50a832p-3,
                   kQ5 = -0x1.0000ac5a0773bp-3;
  const double sq = r * r;
  const double q0 = kQ0 + kQ1 * r;
  const double q1 = kQ2 + kQ3 * r;
  const double q2 = kQ4 + kQ5 * r;
  const double q = q0 + sq * (q1 + sq * q2);
  const double p = (r * sq) * q;

  // s + e1 = big + r and hi + e2 = s + a, exactly (Fast2Sum twice).
  const double s = big + r;
  const double e1 = r - (s - big);
  const double hi = s + a;
  const double e2 = a - (hi - s);
  return {hi, p + (small + (e1 + (e2 - d)))};
}

// ---- Phase 2: fixed point with unit 2^-176 in 256-bit two's complement. ----

__extension__ typedef unsigned __int128 u128;  // GCC and Clang

struct Wide {
  std::uint64_t w[4];  // w[0] least significant
};

constexpr int kFraction = 176;

constexpr Wide add(const Wide& a, const Wide& b) {
  Wide s{};
  std::uint64_t carry = 0;
  for (int n = 0; n < 4; ++n) {
    const u128 t = static_cast<u128>(a.w[n]) + b.w[n] + carry;
    s.w[n] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  return s;
}

constexpr Wide negate(const Wide& a) {
  Wide n{};
  for (int k = 0; k < 4; ++k) n.w[k] = ~a.w[k];
  return add(n, Wide{{1, 0, 0, 0}});
}

constexpr bool is_negative(const Wide& a) {
  return (a.w[3] >> 63) != 0;
}

// a * b for a >= 0; the product must stay below 2^255.
constexpr Wide multiply(const Wide& a, std::uint64_t b) {
  Wide p{};
  std::uint64_t carry = 0;
  for (int n = 0; n < 4; ++n) {
    const u128 t = static_cast<u128>(a.w[n]) * b + carry;
    p.w[n] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  return p;
}

// floor(a / 2^s) for a >= 0, 0 <= s < 256.
constexpr Wide shift_right(const Wide& a, unsigned s) {
  Wide out{};
  const unsigned words = s / 64, bits = s % 64;
  for (unsigned n = 0; n + words < 4; ++n) {
    out.w[n] = a.w[n + words] >> bits;
    if (bits != 0 && n + words + 1 < 4) out.w[n] |= a.w[n + words + 1] << (64 - bits);
  }
  return out;
}

// a * 2^s for 0 <= s < 256 (bits above 2^255 are lost).
constexpr Wide shift_left(const Wide& a, unsigned s) {
  Wide out{};
  const unsigned words = s / 64, bits = s % 64;
  for (unsigned n = words; n < 4; ++n) {
    out.w[n] = a.w[n - words] << bits;
    if (bits != 0 && n > words) out.w[n] |= a.w[n - words - 1] >> (64 - bits);
  }
  return out;
}

// Position of the highest set bit of a > 0.
constexpr int top_bit(const Wide& a) {
  for (int n = 3; n >= 0; --n) {
    if (a.w[n] != 0) return n * 64 + 63 - std::countl_zero(a.w[n]);
  }
  return -1;
}

// d in fixed point; exact when d is a multiple of 2^-176 (every constant
// used here is: the smallest table part is above 2^-123).
Wide to_fixed(double d) {
  if (d == 0.0) return Wide{};
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(d);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t significand = (bits & 0x000fffffffffffffu) | 0x0010000000000000u;
  // |d| = significand * 2^(biased - 1075); the constants are all normal.
  const int shift = biased - 1075 + kFraction;
  const Wide s{{significand, 0, 0, 0}};
  const Wide v = shift >= 0 ? shift_left(s, static_cast<unsigned>(shift))
                            : shift_right(s, static_cast<unsigned>(-shift));
  return (bits >> 63) != 0 ? negate(v) : v;
}

// floor(2^176 / d): the coefficients 1/d of the series.
constexpr Wide reciprocal(std::uint64_t d) {
  Wide q{};
  const Wide n{{0, 0, std::uint64_t{1} << (kFraction - 128), 0}};
  std::uint64_t rest = 0;
  for (int k = 3; k >= 0; --k) {
    const u128 cur = (static_cast<u128>(rest) << 64) | n.w[k];
    q.w[k] = static_cast<std::uint64_t>(cur / d);
    rest = static_cast<std::uint64_t>(cur % d);
  }
  return q;
}

constexpr int kTerms = 16;  // F(r) = sum (-r)^k / (k+1), k = 0..15

struct Reciprocals {
  Wide of[kTerms];
};
constexpr Reciprocals make_reciprocals() {
  Reciprocals c{};
  for (int k = 0; k < kTerms; ++k) c.of[k] = reciprocal(static_cast<std::uint64_t>(k + 1));
  return c;
}
constexpr Reciprocals kReciprocals = make_reciprocals();

// Rounds magnitude * 2^exponent (magnitude > 0) to the nearest double, with
// the sign given, and tells whether every value within 2^-130 of it rounds the
// same way. If not, the nearest double to the computed value is returned all
// the same; for ln x that does not happen (see the top of the file).
natural_log_phases::Rounded round_to_double(const Wide& magnitude, int exponent, bool negative) {
  const int top = top_bit(magnitude);
  // Leading bit moved to bit 255: the double's 53 bits are bits 255..203.
  const Wide n = shift_left(magnitude, static_cast<unsigned>(255 - top));
  std::uint64_t significand = n.w[3] >> 11;
  // Bits 202..0: compared with the midpoint 2^202, at distance above 2^126
  // (2^-130 of n, which is below 2^256).
  const Wide rest{{n.w[0], n.w[1], n.w[2], n.w[3] & 0x7ff}};
  const Wide midpoint{{0, 0, 0, std::uint64_t{1} << 10}};
  const Wide above = add(rest, negate(midpoint));  // rest - midpoint
  const Wide distance = is_negative(above) ? negate(above) : above;
  const bool decided = top_bit(distance) > 126;
  if (!is_negative(above)) {
    const bool exactly_midpoint = (above.w[0] | above.w[1] | above.w[2] | above.w[3]) == 0;
    if (!exactly_midpoint || (significand & 1) != 0) ++significand;
  }
  int scale = exponent + top - 52;  // value = significand * 2^scale
  if (significand == (std::uint64_t{1} << 53)) {
    significand >>= 1;
    ++scale;
  }
  // ln x lies within [2^-54, 745]: always a normal double.
  const std::uint64_t biased = static_cast<std::uint64_t>(scale + 52 + 1023);
  const std::uint64_t bits = (static_cast<std::uint64_t>(negative) << 63) | (biased << 52) |
                             (significand & 0x000fffffffffffffu);
  return {std::bit_cast<double>(bits), decided};
}

natural_log_phases::Rounded accurate(const Reduced& red) {
  const Entry& entry = kTable[red.i];
  const double r = red.r;
  const bool near_one = red.e == 0 && entry.hi == 0.0;  // L = 0, e' = 0
  if (near_one && r == 0.0) return {0.0, true};         // x = 1
  // |r| = r_int * 2^-r_shift, r_int of 53 bits (r is 0 or at least 2^-53).
  std::uint64_t r_int = 0;
  unsigned r_shift = 0;
  if (r != 0.0) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(r);
    r_int = (bits & 0x000fffffffffffffu) | 0x0010000000000000u;
    r_shift = static_cast<unsigned>(1075 - static_cast<int>((bits >> 52) & 0x7ff));
  }
  // F = ln(1+r)/r by Horner's rule: every partial sum lies in (0, 2).
  Wide f = kReciprocals.of[kTerms - 1];
  for (int k = kTerms - 2; k >= 0; --k) {
    const Wide rf = shift_right(multiply(f, r_int), r_shift);
    f = add(kReciprocals.of[k], r > 0.0 ? negate(rf) : rf);
  }
  if (near_one) {
    // ln x = r F, exactly r_int * F * 2^-(176 + r_shift).
    return round_to_double(multiply(f, r_int), -kFraction - static_cast<int>(r_shift), r < 0.0);
  }
  Wide sum = shift_right(multiply(f, r_int), r_shift);
  if (r < 0.0) sum = negate(sum);
  sum = add(sum, add(to_fixed(entry.hi), add(to_fixed(entry.lo), to_fixed(entry.lo2))));
  const Wide ln2 = add(to_fixed(kLn2Hi), add(to_fixed(kLn2Lo), to_fixed(kLn2Lo2)));
  const Wide e_ln2 = multiply(ln2, static_cast<std::uint64_t>(red.e < 0 ? -red.e : red.e));
  sum = add(sum, red.e < 0 ? negate(e_ln2) : e_ln2);
  const bool negative = is_negative(sum);
  return round_to_double(negative ? negate(sum) : sum, -kFraction, negative);
}

}  // namespace

double natural_log(double x) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  // One unsigned comparison keeps out 0, subnormals, negatives, inf and NaN.
  if (bits - 0x0010000000000000u >= 0x7fe0000000000000u) [[unlikely]] {
    if (x != x) return x + x;  // NaN, made quiet
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == std::numeric_limits<double>::infinity()) return x;
    // Subnormal: reduce() scales it.
  }
  const Reduced red = reduce(x);
  const natural_log_phases::DoubleDouble estimate = fast_estimate(red);
  const double err = 0x1p-66 * std::fabs(estimate.hi);
  const double below = estimate.hi + (estimate.lo - err);
  const double above = estimate.hi + (estimate.lo + err);
  if (below == above) return below;
  return accurate(red).value;
}

namespace natural_log_phases {

DoubleDouble fast_estimate(double x) {
  return locprox::fast_estimate(reduce(x));
}

Rounded accurate(double x) {
  return locprox::accurate(reduce(x));
}

}  // namespace natural_log_phases

}  // namespace locprox
