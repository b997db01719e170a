// Records the session of the replay tests on the simulated device, or replays a recording to
// the libusb backend under umockdev. Either way it writes what the session saw and the URBs
// the device was asked for, one a line.
//
//   usb_replay_tool record <cold|stall|short|unplug|unplug-mid> <recording> <result> <urbs>
//   usb_replay_tool replay <recording> <result> <urbs>      (under umockdev-run)
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "replay_device.h"
#include "scenario.h"
#include "sim_device/sim_device.h"
#include "trace_recording.h"

namespace {

using namespace fvreplay;

bool WriteLines(const std::vector<std::string>& lines, const std::string& path) {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << "\n";
  return static_cast<bool>(out);
}

// The trace's last request is a frame read still waiting.
bool PendingRead() {
  FvSimTraceEntry e{};
  return fvsim_trace_get(fvsim_trace_count() - 1, &e) && e.outcome == FVSIM_PENDING;
}

int Record(const std::string& variant, const std::string& recording, const std::string& result,
           const std::string& urbs) {
  fvsim_reset();
  FvSimDeviceConfig config{};
  fvsim_default_config(3, &config);  // two sensors, 16-bit frames, firmware to download
  config.cold = 1;
  fvsim_plug(&config);
  fvsim_set_finger_seed(0, 5);
  fvsim_set_finger(0, 1);
  fvsim_trace_whole_data(1);
  if (variant == "stall") {
    fvsim_inject_request(0, 0xB0, 1);  // the device information is refused
  } else if (variant == "short") {
    fvsim_inject_request_fault(0, 0xB4, FVSIM_FAULT_SHORT, 1);  // half a parameter block
  } else if (variant != "cold" && variant != "unplug" && variant != "unplug-mid") {
    std::fprintf(stderr, "unknown variant %s\n", variant.c_str());
    return 2;
  }
  fvsim_trace_clear();
  // Unplugged while the cold device's first frame read waits for an answer that never comes.
  // A session that ends without such a read ends the wait too; its lines then differ.
  std::atomic<bool> sessionOver{false};
  std::thread unplugger;
  if (variant == "unplug-mid") {
    unplugger = std::thread([&] {
      while (!sessionOver && (fvsim_trace_count() == 0 || !PendingRead())) {
        std::this_thread::yield();
      }
      fvsim_unplug(0);
    });
  }
  const auto lines = RunScenario([&] {
    if (variant == "unplug") fvsim_unplug(0);
  });
  sessionOver = true;
  if (unplugger.joinable()) unplugger.join();
  const Recording r = RecordingFromTrace(0xF0F0, static_cast<std::uint16_t>(config.productId));
  std::vector<std::string> described;
  for (const Urb& u : r.urbs) {
    if (u.kind != Urb::kGone) described.push_back(Describe(u));
  }
  return WriteRecording(r, recording) && WriteLines(lines, result) && WriteLines(described, urbs) ? 0 : 1;
}

int Replay(const std::string& recording, const std::string& result, const std::string& urbs) {
  Recording r;
  if (!ReadRecording(recording, &r)) {
    std::fprintf(stderr, "cannot read %s\n", recording.c_str());
    return 2;
  }
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", r.vendor, r.product);
  setenv("FV_USB_IDS", ids, 1);
  setenv("FV_USB_BACKEND", "libfvusb_libusb.so", 1);
  ReplayDevice device(std::move(r));
  std::string error;
  if (!device.Start(&error)) {
    std::fprintf(stderr, "replay: %s\n", error.c_str());
    return 2;
  }
  const auto lines = RunScenario({});
  for (const std::string& m : device.Mismatches()) std::fprintf(stderr, "mismatch: %s\n", m.c_str());
  if (device.Left() > 0) std::fprintf(stderr, "%zu recorded URBs never asked for\n", device.Left());
  const bool exact = device.Mismatches().empty() && device.Left() == 0;
  const bool written = WriteLines(lines, result) && WriteLines(device.Submitted(), urbs);
  device.Stop();
  return written && exact ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "record" && argc == 6) return Record(argv[2], argv[3], argv[4], argv[5]);
  if (mode == "replay" && argc == 5) return Replay(argv[2], argv[3], argv[4]);
  std::fprintf(stderr, "usage: %s record <variant> <recording> <result> <urbs> | replay <recording> <result> <urbs>\n",
               argv[0]);
  return 2;
}
