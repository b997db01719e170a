#pragma once
// An optional listener to the pipeline's intermediate results, for tests and tools: each stage
// hands its output under a stable key (stage and part). Nobody listens by default, and then a
// stage costs one thread-local load and a branch; nothing here is exported.

#include <cstddef>

namespace veltrum {

class StageObserver {
 public:
  virtual void Stage(const char* stage, const char* part, const void* data,
                     std::size_t bytes) = 0;

 protected:
  ~StageObserver() = default;
};

namespace detail {
inline thread_local StageObserver* stageObserver = nullptr;
}

// Listens to the stages run on this thread while the object lives.
class ListenToStages {
 public:
  explicit ListenToStages(StageObserver& observer) : previous_(detail::stageObserver) {
    detail::stageObserver = &observer;
  }
  ~ListenToStages() { detail::stageObserver = previous_; }
  ListenToStages(const ListenToStages&) = delete;
  ListenToStages& operator=(const ListenToStages&) = delete;

 private:
  StageObserver* previous_;
};

inline bool StagesObserved() { return detail::stageObserver != nullptr; }

inline void ObserveStage(const char* stage, const char* part, const void* data,
                         std::size_t bytes) {
  if (StageObserver* o = detail::stageObserver) o->Stage(stage, part, data, bytes);
}

}  // namespace veltrum
