#pragma once
// The cloud through the program's own client and payload cipher.

#include "ports/cloud_access.h"

namespace torvane {

class LibraryCloud final : public CloudAccess {
 public:
  std::string encrypt(const std::string& json) override;
  std::string decrypt(const std::string& reply) override;
  std::string postJson(const std::string& json, const std::string& path) override;
  std::string postIdentify(const std::string& payload, const std::string& imagePath, int flag) override;
  // A failure the service reports on its side comes back as "500 Internal Server Error".
  std::string postEnrolment(const std::string& payload, const std::array<std::string, 3>& imagePaths,
                            bool employee) override;
};

}  // namespace torvane
