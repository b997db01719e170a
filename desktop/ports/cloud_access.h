#pragma once
// The cloud membership service as the main dialog and the capture worker use it: each call
// posts an encrypted payload (and images) and returns the raw reply; `decrypt` opens a reply.

#include <array>
#include <string>

namespace torvane {

class CloudAccess {
 public:
  virtual ~CloudAccess() = default;
  virtual std::string encrypt(const std::string& json) = 0;
  virtual std::string decrypt(const std::string& reply) = 0;
  // Encrypts `json` itself and posts it alone to `path`.
  virtual std::string postJson(const std::string& json, const std::string& path) = 0;
  // "v1/fv/signKqFv" (flag 1) or "v1/fv/authKqFv" (flag 0) with one image.
  virtual std::string postIdentify(const std::string& payload, const std::string& imagePath,
                                   int flag) = 0;
  // "v1/fv/addEKqFv" (employee) or "v1/fv/addKqFv" with three images.
  virtual std::string postEnrolment(const std::string& payload,
                                    const std::array<std::string, 3>& imagePaths,
                                    bool employee) = 0;
};

}  // namespace torvane
