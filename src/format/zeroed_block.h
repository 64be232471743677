// A block of zeroed elements for the run's work arrays, as the system hands
// out fresh memory: nothing is cleared up front, and a page the run never
// writes costs no memory. A large block is mapped on its own, in whole huge
// pages (2 MiB) from a huge-page boundary, and marked for huge pages, so that
// the first writes across it take a fault per 2 MiB rather than per 4 KiB:
// on a virtual machine a fault costs tens of microseconds, and the dialogue's
// 6 MB of work arrays took about 1,500 of them (some 30 ms) before. The
// rounding up costs at most one huge page more per block, and only where
// the run writes; from 256 KiB on, one fault and the clearing of a huge page
// cost less than the 64 or more faults of small pages. A small block comes
// from calloc.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace locprox {

// The memory a block of `bytes` takes at most once written: a mapped one
// (256 KiB or more) in whole huge pages.
constexpr std::size_t zeroed_block_bytes(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  return bytes < (std::size_t{256} << 10) || bytes > ~std::size_t{0} / 2
             ? bytes
             : (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

template <class T>
class ZeroedBlock {
 public:
  // A block of `mapped_from` bytes or more is mapped on its own (in huge
  // pages); a smaller one comes from calloc.
  explicit ZeroedBlock(std::size_t count, std::size_t mapped_from = kMappedFrom) : size_(count) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (count > kLargest / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= mapped_from) {
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
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kMappedFrom = std::size_t{256} << 10;
  static constexpr std::size_t kLargest = ~std::size_t{0} / 2;

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_bytes_ = 0;  // 0: from calloc
};

// A block reused from one year to the next, such as the year's gathered
// values: it is made anew (its contents are not kept) only when a year needs
// more elements than it holds, half as large again, so that the years that
// follow write into pages already mapped instead of faulting fresh ones.
template <class T>
class ReusedBlock {
 public:
  // The first `count` elements, whatever they hold.
  std::span<T> first(std::size_t count) {
    if (!block_ || block_->size() < count) {
      const std::size_t held = block_ ? block_->size() : 0;
      block_.reset();
      block_ = std::make_unique<ZeroedBlock<T>>(std::max(count, held + held / 2));
    }
    return block_->span().first(count);
  }

 private:
  std::unique_ptr<ZeroedBlock<T>> block_;
};

// The buffer of a file unit: bytes that keep their contents when the buffer
// is made larger, in a ZeroedBlock. Unlike a std::vector<char>, nothing is
// cleared (what a larger buffer adds holds whatever it holds, zeros at
// first) and a large buffer takes a huge page rather than a fault per 4 KiB.
//
// A buffer that its unit fills only in part (an output unit's, written out
// whenever full or at every record on a console) need not take huge pages:
// `mapped_from` says from which size it does.
class ByteBuffer {
 public:
  static constexpr std::size_t kNeverMapped = ~std::size_t{0};
  ByteBuffer() = default;
  explicit ByteBuffer(std::size_t size, std::size_t mapped_from = std::size_t{256} << 10)
      : mapped_from_(mapped_from) {
    resize(size);
  }

  void resize(std::size_t size) {
    if (!block_ || block_->size() < size) {
      auto larger = std::make_unique<ZeroedBlock<char>>(size, mapped_from_);
      // (size_ is below size here; the bound is written out for the
      // compiler, which cannot tell.)
      const std::size_t kept = std::min(size_, size);
      if (kept > 0) std::memcpy(larger->span().data(), data(), kept);
      block_ = std::move(larger);
    }
    size_ = size;
  }
  char* data() { return block_ ? block_->span().data() : nullptr; }
  const char* data() const { return block_ ? block_->data() : nullptr; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::unique_ptr<ZeroedBlock<char>> block_;
  std::size_t size_ = 0;
  std::size_t mapped_from_ = std::size_t{256} << 10;
};

}  // namespace locprox
