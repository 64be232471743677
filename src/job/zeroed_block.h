// A block of zeroed elements for the run's work arrays, as the system hands
// out fresh memory: nothing is cleared up front, and a page the run never
// writes costs no memory. A large block is mapped on its own and marked for
// huge pages, so that the year loop's first writes across tens of megabytes
// of YDATA and INCID take a fault per 2 MiB rather than per 4 KiB (and fewer
// address-translation misses while the year's cells are scattered over
// them); a small one comes from calloc.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <span>
#include <type_traits>

namespace locprox {

template <class T>
class ZeroedBlock {
 public:
  explicit ZeroedBlock(std::size_t count) : size_(count) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (count > kLargest / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= kMappedFrom) {
      mapped_bytes_ = (bytes + kPage - 1) / kPage * kPage;
      void* block = ::mmap(nullptr, mapped_bytes_, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
      ::madvise(block, mapped_bytes_, MADV_HUGEPAGE);  // a hint: refused is fine
#endif
      data_ = static_cast<T*>(block);
    } else {
      data_ = static_cast<T*>(std::calloc(count == 0 ? 1 : count, sizeof(T)));
      if (data_ == nullptr) throw std::bad_alloc();
    }
  }
  ZeroedBlock(const ZeroedBlock&) = delete;
  ZeroedBlock& operator=(const ZeroedBlock&) = delete;
  ~ZeroedBlock() {
    if (mapped_bytes_ != 0) {
      ::munmap(data_, mapped_bytes_);
    } else {
      std::free(data_);
    }
  }

  std::span<T> span() { return {data_, size_}; }
  std::size_t size() const { return size_; }

 private:
  static constexpr std::size_t kPage = 4096;
  static constexpr std::size_t kMappedFrom = std::size_t{1} << 20;
  static constexpr std::size_t kLargest = ~std::size_t{0} / 2;

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_bytes_ = 0;  // 0: from calloc
};

}  // namespace locprox
