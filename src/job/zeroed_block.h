// A block of zeroed elements for the run's work arrays, as the system hands
// out fresh memory: nothing is cleared up front, and a page the run never
// writes costs no memory. A large block is mapped on its own, in whole huge
// pages (2 MiB) from a huge-page boundary, and marked for huge pages, so that
// the first writes across it take a fault per 2 MiB rather than per 4 KiB:
// on a virtual machine a fault costs tens of microseconds, and the dialogue's
// 6 MB of work arrays took about 1,500 of them (some 30 ms) before. The
// rounding up costs at most one huge page more per block, and only where
// the run writes. A small block comes from calloc.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
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
      mapped_bytes_ = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      // Mapped with a huge page to spare, then cut to the boundary.
      const std::size_t reserved = mapped_bytes_ + kHugePage;
      void* block = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
      const auto address = reinterpret_cast<std::uintptr_t>(block);
      const std::size_t head =
          static_cast<std::size_t>((kHugePage - address % kHugePage) % kHugePage);
      char* start = static_cast<char*>(block) + head;
      if (head != 0) ::munmap(block, head);
      if (reserved - head > mapped_bytes_) {
        ::munmap(start + mapped_bytes_, reserved - head - mapped_bytes_);
      }
#ifdef MADV_HUGEPAGE
      ::madvise(start, mapped_bytes_, MADV_HUGEPAGE);  // a hint: refused is fine
#endif
      data_ = reinterpret_cast<T*>(start);
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
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kMappedFrom = std::size_t{1} << 20;
  static constexpr std::size_t kLargest = ~std::size_t{0} / 2;

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_bytes_ = 0;  // 0: from calloc
};

}  // namespace locprox
