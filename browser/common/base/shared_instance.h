#pragma once
// One process-wide object that several front-end instances share: made on first use, kept while
// anyone holds it, dropped with the last release.

#include <memory>
#include <mutex>
#include <utility>

namespace fvbrowser {

template <typename T>
class SharedInstance {
 public:
  template <typename Make>
  std::shared_ptr<T> get(Make make) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!object_) object_ = make();
    return object_;
  }
  void hold() {
    std::lock_guard<std::mutex> guard(lock_);
    ++holders_;
  }
  void release() {
    std::shared_ptr<T> dropped;  // destroyed after the lock is let go
    std::lock_guard<std::mutex> guard(lock_);
    if (holders_ > 0 && --holders_ > 0) return;
    dropped = std::move(object_);
  }
  void install(std::shared_ptr<T> object) {
    std::lock_guard<std::mutex> guard(lock_);
    object_ = std::move(object);
  }

 private:
  std::mutex lock_;
  std::shared_ptr<T> object_;
  int holders_ = 0;
};

}  // namespace fvbrowser
