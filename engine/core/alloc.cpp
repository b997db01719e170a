#include "core/alloc.h"

#include <sanitizer/asan_interface.h>

#include <atomic>
#include <cstdlib>

namespace veltrum {
namespace {

std::atomic<int> g_failCountdown{0};

// What one thread keeps between calls: enough for an enrolment's working memory, no more.
constexpr int kStoreSlots = 48;
constexpr std::size_t kStoreBytes = std::size_t{8} << 20;
constexpr std::size_t kLargestKept = std::size_t{4} << 20;

struct Block {
  void* p;
  std::size_t capacity;
};

// Kept blocks stay poisoned for the address checker, and a reused one is open only as far as
// asked: a step that reads past its array or after its release is still caught.
void Close(void* p, std::size_t bytes) { ASAN_POISON_MEMORY_REGION(p, bytes); }
void Open(void* p, std::size_t bytes) { ASAN_UNPOISON_MEMORY_REGION(p, bytes); }

void Free(void* p, std::size_t capacity) {
  Open(p, capacity);
  std::free(p);
}

// Set when this thread's store has been destroyed; a plain flag, so it is still readable then.
thread_local bool t_storeGone = false;

// Released blocks, oldest first; a full store gives its oldest back to the heap.
class BlockStore {
 public:
  BlockStore() = default;
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;
  ~BlockStore() {
    for (int i = 0; i < count_; ++i) Free(blocks_[i].p, blocks_[i].capacity);
    count_ = 0;
    t_storeGone = true;
  }

  // The smallest kept block that holds `bytes` without wasting more than as much again; of equal
  // ones the latest released, likeliest still in the cache.
  void* Take(std::size_t bytes, std::size_t& capacity) {
    int best = -1;
    for (int i = count_ - 1; i >= 0; --i) {
      const std::size_t c = blocks_[i].capacity;
      if (c >= bytes && c - bytes <= bytes + 64 && (best < 0 || c < blocks_[best].capacity)) {
        best = i;
      }
    }
    if (best < 0) return nullptr;
    void* p = blocks_[best].p;
    capacity = blocks_[best].capacity;
    Remove(best);
    return p;
  }

  void Keep(void* p, std::size_t capacity) {
    if (capacity > kLargestKept) {
      std::free(p);
      return;
    }
    while (count_ > 0 && (count_ == kStoreSlots || bytes_ + capacity > kStoreBytes)) {
      Free(blocks_[0].p, blocks_[0].capacity);
      Remove(0);
    }
    Close(p, capacity);
    blocks_[count_++] = Block{p, capacity};
    bytes_ += capacity;
  }

 private:
  void Remove(int i) {
    bytes_ -= blocks_[i].capacity;
    for (int j = i + 1; j < count_; ++j) blocks_[j - 1] = blocks_[j];
    --count_;
  }

  Block blocks_[kStoreSlots]{};
  int count_ = 0;
  std::size_t bytes_ = 0;
};

thread_local BlockStore t_store;

}  // namespace

void FailNthAllocation(int n) { g_failCountdown.store(n < 0 ? 0 : n); }

bool AllocationAllowed() {
  int current = g_failCountdown.load();
  while (current > 0) {
    if (g_failCountdown.compare_exchange_weak(current, current - 1)) return current != 1;
  }
  return true;
}

void* AcquireWorkBlock(std::size_t bytes, std::size_t& capacity) {
  if (bytes == 0) bytes = 1;
  if (void* kept = t_storeGone ? nullptr : t_store.Take(bytes, capacity)) {
    Open(kept, bytes);
    return kept;
  }
  void* p = std::malloc(bytes);
  capacity = p ? bytes : 0;
  return p;
}

void ReleaseWorkBlock(void* block, std::size_t capacity) {
  if (block == nullptr) return;
  if (t_storeGone) {
    Free(block, capacity);  // the thread is ending: what it releases now goes straight back
    return;
  }
  t_store.Keep(block, capacity);
}

}  // namespace veltrum
