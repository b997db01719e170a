#pragma once
// The cloud as seen with no client to reach it: every request goes unanswered, so the dialog
// shows its network and set-up texts and goes on running.

#include "ports/cloud_access.h"

namespace torvane {

class OfflineCloud final : public CloudAccess {
 public:
  std::string encrypt(const std::string& json) override { return json; }
  std::string decrypt(const std::string&) override { return {}; }
  std::string postJson(const std::string&, const std::string&) override { return {}; }
  std::string postIdentify(const std::string&, const std::string&, int) override { return {}; }
  std::string postEnrolment(const std::string&, const std::array<std::string, 3>&, bool) override {
    return {};
  }
};

}  // namespace torvane
