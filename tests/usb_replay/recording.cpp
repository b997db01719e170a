#include "recording.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace fvreplay {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return "-";
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * bytes.size());
  for (std::uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

bool Unhex(const std::string& text, std::vector<std::uint8_t>* out) {
  out->clear();
  if (text == "-") return true;
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + i, "%2x", &value) != 1) return false;
    out->push_back(static_cast<std::uint8_t>(value));
  }
  return true;
}

}  // namespace

bool WriteRecording(const Recording& r, const std::string& path) {
  std::ofstream out(path);
  out << "device " << r.vendor << " " << r.product << " " << Hex(r.descriptors) << "\n";
  for (const Urb& u : r.urbs) {
    if (u.kind == Urb::kGone) {
      out << "gone\n";
    } else if (u.kind == Urb::kPending) {
      out << "pending " << u.type << " " << u.endpoint << " " << u.length << " " << Hex(u.sent) << "\n";
    } else {
      out << "urb " << u.type << " " << u.endpoint << " " << u.status << " " << u.length << " "
          << u.actual << " " << Hex(u.sent) << " " << Hex(u.answer) << "\n";
    }
  }
  return static_cast<bool>(out);
}

bool ReadRecording(const std::string& path, Recording* r) {
  std::ifstream in(path);
  std::string line;
  *r = {};
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string what, sent, answer;
    fields >> what;
    Urb u;
    if (what == "device") {
      std::string descriptors;
      fields >> r->vendor >> r->product >> descriptors;
      if (!fields || !Unhex(descriptors, &r->descriptors)) return false;
      continue;
    }
    if (what == "gone") {
      u.kind = Urb::kGone;
    } else if (what == "pending") {
      u.kind = Urb::kPending;
      fields >> u.type >> u.endpoint >> u.length >> sent;
      if (!fields || !Unhex(sent, &u.sent)) return false;
    } else if (what == "urb") {
      fields >> u.type >> u.endpoint >> u.status >> u.length >> u.actual >> sent >> answer;
      if (!fields || !Unhex(sent, &u.sent) || !Unhex(answer, &u.answer)) return false;
    } else {
      return false;
    }
    r->urbs.push_back(std::move(u));
  }
  return !r->descriptors.empty();
}

std::string Describe(const Urb& u) {
  std::ostringstream out;
  out << "type " << u.type << " endpoint " << u.endpoint << " length " << u.length;
  // A control URB names its request by its setup packet; OUT data shows in full.
  const bool out_data = u.type == kUrbControl ? u.sent.size() > 8 : (u.endpoint & 0x80) == 0;
  const std::size_t shown = u.type == kUrbControl && !out_data ? std::min<std::size_t>(8, u.sent.size())
                                                               : u.sent.size();
  out << " sent " << Hex({u.sent.begin(), u.sent.begin() + static_cast<long>(shown)});
  return out.str();
}

}  // namespace fvreplay
