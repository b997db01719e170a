#include "fvplatform/debug_output.h"

#include <cstdio>
#include <mutex>

namespace fvplat {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

DebugSink& Sink() {
  static DebugSink sink;
  return sink;
}

}  // namespace

DebugSink SetDebugOutputSink(DebugSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  DebugSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

}  // namespace fvplat

void OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  std::lock_guard<std::mutex> lock(fvplat::SinkMutex());
  if (fvplat::Sink()) {
    fvplat::Sink()(text);
  } else {
    std::fputs(text, stderr);
  }
}
