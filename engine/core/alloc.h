#pragma once
// Working memory of the engine's operations, with a hook that lets tests fail an allocation.
//
// Blocks come from a small per-thread store of blocks that earlier calls released: the heap hands
// large blocks back to the system when they are freed, and every call would otherwise fault its
// working memory in page by page again.

#include <cstddef>
#include <memory>
#include <type_traits>

namespace veltrum {

// Arms the hook so that the nth allocation from now fails (1 = the next); 0 disarms it.
void FailNthAllocation(int n);
// Counts one allocation against the hook; false when this one is to fail.
bool AllocationAllowed();

// A block of at least `bytes` (its size in `capacity`), aligned for any scalar; null when memory
// is short.
void* AcquireWorkBlock(std::size_t bytes, std::size_t& capacity);
// Gives a block back to the calling thread's store (or to the heap when the store is full).
void ReleaseWorkBlock(void* block, std::size_t capacity);

// Returns a working array's block; its values need no destruction.
struct WorkRelease {
  std::size_t capacity = 0;
  template <class T>
  void operator()(T* p) const {
    ReleaseWorkBlock(p, capacity);
  }
};

template <class T>
using WorkArray = std::unique_ptr<T[], WorkRelease>;

namespace detail {

template <class T, bool kZeroed>
WorkArray<T> Allocate(std::size_t n) {
  static_assert(std::is_trivially_destructible_v<T>, "working arrays are released unmade");
  static_assert(alignof(T) <= alignof(std::max_align_t));
  if (!AllocationAllowed()) return nullptr;
  if (n > static_cast<std::size_t>(-1) / sizeof(T)) return nullptr;
  std::size_t capacity = 0;
  void* block = AcquireWorkBlock(n * sizeof(T), capacity);
  if (!block) return nullptr;
  T* p = static_cast<T*>(block);
  if constexpr (kZeroed) {
    std::uninitialized_value_construct_n(p, n);
  } else {
    std::uninitialized_default_construct_n(p, n);
  }
  return WorkArray<T>(p, WorkRelease{capacity});
}

}  // namespace detail

// An array of n values as they come, for a buffer that its step writes before it reads; null
// when memory is short (or the hook says so).
template <class T>
WorkArray<T> AllocArray(std::size_t n) {
  return detail::Allocate<T, false>(n);
}

// The same, zeroed, for a buffer that its step reads where it has not written.
template <class T>
WorkArray<T> AllocZeroedArray(std::size_t n) {
  return detail::Allocate<T, true>(n);
}

}  // namespace veltrum
