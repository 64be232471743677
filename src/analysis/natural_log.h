// The natural logarithm used by the Fisher z transform. The C library's log
// differs between libraries, versions and processors (some pick a fused
// multiply-add variant at load time) in the last bit of a few results; this
// one is evaluated with plain IEEE double operations in a fixed order, so it
// gives the same bits on every machine and build. Error below 1 ulp.
#pragma once

namespace locprox {

double natural_log(double x);

}  // namespace locprox
