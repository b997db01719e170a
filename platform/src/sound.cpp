#include "fvplatform/sound.h"

#include <mutex>

namespace fvplat {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

SoundSink& Sink() {
  static SoundSink sink;
  return sink;
}

}  // namespace

SoundSink SetSoundSink(SoundSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  SoundSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

}  // namespace fvplat

BOOL PlaySoundA(const char* sound, HMODULE, DWORD flags) {
  if (sound == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(fvplat::SinkMutex());
  if (fvplat::Sink()) fvplat::Sink()(sound, flags);
  return TRUE;
}
