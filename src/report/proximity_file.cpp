#include "report/proximity_file.h"

namespace locprox {

void PRXMAT(OutputUnit&, std::span<const double>, std::int32_t, std::int32_t) {}

void PRXCNT(OutputUnit&, std::span<const std::int32_t>, std::span<const std::int32_t>,
            std::span<const std::int32_t>, std::span<const std::int32_t>,
            std::span<const std::int32_t>, std::span<const std::int32_t>, std::int32_t,
            std::int32_t) {}

}  // namespace locprox
