#pragma once
// Working memory of the engine's operations, with a hook that lets tests fail an allocation.

#include <cstddef>
#include <memory>
#include <new>

namespace veltrum {

// Arms the hook so that the nth allocation from now fails (1 = the next); 0 disarms it.
void FailNthAllocation(int n);
// Counts one allocation against the hook; false when this one is to fail.
bool AllocationAllowed();

// An array of n values as they come, for a buffer that its step writes before it reads; null
// when memory is short (or the hook says so).
template <class T>
std::unique_ptr<T[]> AllocArray(std::size_t n) {
  if (!AllocationAllowed()) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

// The same, zeroed, for a buffer that its step reads where it has not written.
template <class T>
std::unique_ptr<T[]> AllocZeroedArray(std::size_t n) {
  if (!AllocationAllowed()) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]());
}

}  // namespace veltrum
