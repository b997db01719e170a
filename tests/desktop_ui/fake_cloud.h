#pragma once
// A cloud whose replies a test scripts per path; payloads travel in the clear, marked so a
// test sees that every payload was encrypted and every reply decrypted once.

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ports/cloud_access.h"

namespace torvane::testing {

struct CloudPost {
  std::string path;
  std::string payload;  // as the caller encrypted it, unmarked
  std::vector<std::string> images;
};

class FakeCloud final : public CloudAccess {
 public:
  // Replies per path, in order; an empty queue answers "" (no answer). A reply starting with
  // "raw:" is sent as it is, undecryptable.
  std::map<std::string, std::deque<std::string>> replies;
  std::vector<CloudPost> posts;

  std::string encrypt(const std::string& json) override { return "enc:" + json; }
  std::string decrypt(const std::string& reply) override {
    return reply.rfind("enc:", 0) == 0 ? reply.substr(4) : std::string();
  }
  std::string postJson(const std::string& json, const std::string& path) override {
    return answer(path, encrypt(json), {});
  }
  std::string postIdentify(const std::string& payload, const std::string& imagePath, int flag) override {
    return answer(flag == 1 ? "v1/fv/signKqFv" : "v1/fv/authKqFv", payload, {imagePath});
  }
  std::string postEnrolment(const std::string& payload, const std::array<std::string, 3>& paths,
                            bool employee) override {
    return answer(employee ? "v1/fv/addEKqFv" : "v1/fv/addKqFv", payload, {paths.begin(), paths.end()});
  }
  std::vector<std::string> pathsPosted() const {
    std::vector<std::string> out;
    for (const CloudPost& p : posts) out.push_back(p.path);
    return out;
  }

 private:
  std::string answer(const std::string& path, const std::string& payload, std::vector<std::string> images) {
    posts.push_back({path, decrypt(payload), std::move(images)});
    std::deque<std::string>& queue = replies[path];
    if (queue.empty()) return {};
    std::string reply = queue.front();
    queue.pop_front();
    if (reply.rfind("raw:", 0) == 0) return reply.substr(4);
    return encrypt(reply);
  }
};

}  // namespace torvane::testing
