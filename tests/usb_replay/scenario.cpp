#include "scenario.h"

#include <cstdint>
#include <sstream>

#include "protocol/fvdev_protocol.h"

namespace fvreplay {
namespace {

std::string Digest(const std::uint8_t* bytes, std::size_t n) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (std::size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  std::ostringstream out;
  out << std::hex << h;
  return out.str();
}

}  // namespace

std::vector<std::string> RunScenario(const std::function<void()>& betweenFrames) {
  using namespace dravex;
  std::vector<std::string> lines;
  auto line = [&](const std::string& what, bool ok, const std::string& detail = "") {
    lines.push_back(what + (ok ? " ok" : " failed") + (detail.empty() ? "" : " " + detail));
  };
  const int count = FVDEVLib_get_count();
  line("count", count > 0, std::to_string(count));
  auto device = FVDEVLib_open(0);
  line("open", device != nullptr);
  if (device == nullptr) return lines;
  FvDevInfo info{};
  const bool infoOk = FVDEVLib_get_info(device.get(), &info);
  line("info", infoOk, Digest(reinterpret_cast<const std::uint8_t*>(&info), sizeof info));
  std::uint8_t block[96] = {};
  const bool blockOk = FVDEVLib_read_mem(device.get(), block, 0, sizeof block);
  line("parameter block", blockOk, Digest(block, sizeof block));
  line("exposure", FVDEVLib_set_exposure2(device.get(), 0, 700, 32, 32, 32, 32));
  std::vector<std::uint8_t> frame(kFrame16Pixels, 0);
  for (int i = 1; i <= 2; ++i) {
    unsigned length = kFrame16Pixels;
    const bool ok = FVDEVLib_grab16(device.get(), 0, frame.data(), &length);
    line("frame " + std::to_string(i), ok, ok ? Digest(frame.data(), frame.size()) : "");
    if (i == 1 && betweenFrames) betweenFrames();
  }
  FVDEVLib_close(std::move(device));
  line("close", true);
  return lines;
}

}  // namespace fvreplay
