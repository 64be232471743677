#include "job/workspace.h"

#include <stdexcept>

namespace locprox {
namespace {

std::size_t at(std::int32_t count) {
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

// Hands out consecutive stretches of one array.
template <class T>
class Cutter {
 public:
  explicit Cutter(std::span<T> array) : array_(array) {}
  std::span<T> take(std::size_t length) {
    std::span<T> part = array_.subspan(next_, length);
    next_ += length;
    return part;
  }

 private:
  std::span<T> array_;
  std::size_t next_ = 0;
};

}  // namespace

WorkspaceLengths workspace_lengths(const ProblemSize& size) {
  const std::size_t L = at(size.MAXL);
  const std::size_t G = at(size.MAXG);
  const std::size_t N = at(size.NYA);
  const std::size_t T = at(size.NTM);
  const std::size_t Y = at(size.MAXY);
  return {T, L * G, L * G + 2 * L * N + 5 * L + N + 3 * T, Y + L + G};
}

Workspace partition_work_arrays(std::span<double> DZ, std::span<float> Z,
                                std::span<std::int32_t> MZ, std::span<Name> AZ,
                                const ProblemSize& size) {
  const WorkspaceLengths need = workspace_lengths(size);
  if (DZ.size() < need.DZ || Z.size() < need.Z || MZ.size() < need.MZ || AZ.size() < need.AZ) {
    throw std::length_error("work arrays too small for the problem");
  }
  const std::size_t L = at(size.MAXL);
  const std::size_t G = at(size.MAXG);
  const std::size_t N = at(size.NYA);
  const std::size_t T = at(size.NTM);
  const std::size_t Y = at(size.MAXY);
  Cutter<std::int32_t> mz(MZ);
  Cutter<Name> az(AZ);
  Workspace w;
  w.PROX = DZ.first(T);
  w.YDATA = Z.first(L * G);
  w.INCID = mz.take(L * G);
  w.DELTA = mz.take(L * N);
  w.DELTOT = mz.take(L);
  w.GAMMA = mz.take(L * N);
  w.GAMTOT = mz.take(L);
  w.GAMYR = mz.take(N);
  w.NGPAIR = mz.take(T);
  w.NYPAIR = mz.take(T);
  w.KII = mz.take(T);
  w.NGLOC = mz.take(L);
  w.NYLOC = mz.take(L);
  w.KI = mz.take(L);
  w.YEARNAME = az.take(Y);
  w.LOCNAME = az.take(L);
  w.ENTNAME = az.take(G);
  return w;
}

}  // namespace locprox
