#include "report/occurrence_report.h"

namespace locprox {

void OCCREP(OutputUnit&, std::span<const std::int32_t>, std::span<const std::int32_t>,
            std::span<const std::int32_t>, std::int32_t, std::span<const std::int32_t>,
            std::span<const std::int32_t>, std::span<const std::int32_t>, std::int32_t,
            std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}

void KAPPA(OutputUnit&, std::span<const std::int32_t>, std::span<std::int32_t>,
           std::span<const std::int32_t>, std::span<std::int32_t>, std::span<std::int32_t>,
           std::span<std::int32_t>, std::int32_t, std::int32_t) {}

}  // namespace locprox
