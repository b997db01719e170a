#pragma once
// The cloud stand-in on loopback with the program's own client pointed at it, so every request
// of the dialog and its worker travels over HTTP, enciphered, as in the program. Without a
// scripted reply the stand-in answers plainly (device numbers accepted, fingers not yet known,
// enrolments accepted, the member enrolled last signs in).

#include <gtest/gtest.h>
#include <json/reader.h>

#include <memory>
#include <string>
#include <vector>

#include "cloud/cloud_config.h"
#include "ports/library_cloud.h"
#include "sim_cloud/cloud_stand_in.h"

namespace torvane::testing {

struct CloudPost {
  std::string path;
  std::string payload;  // deciphered by the stand-in
  std::vector<std::string> images;  // the file names the parts carry
  std::vector<std::string> imageBytes;
};

class StandInCloud {
 public:
  StandInCloud() { setCloudBaseUrl(server.baseUrl()); }
  // One for the whole test program: stopping the server takes its threads a while.
  static StandInCloud& shared() {
    std::unique_ptr<StandInCloud>& cloud = sharedHolder();
    if (cloud == nullptr) cloud = std::make_unique<StandInCloud>();
    cloud->reset();
    return *cloud;
  }
  static std::unique_ptr<StandInCloud>& sharedHolder() {
    static std::unique_ptr<StandInCloud> cloud;
    return cloud;
  }

  // The next reply to `path`: a JSON text sent enciphered; "raw:" followed by a body sent as it
  // is; "" an empty answer; "dropped" a connection closed without an answer; "status500" the
  // service failing on its side.
  void script(const std::string& path, const std::string& reply) {
    if (reply == "status500") {
      server.push(path, simcloud::ScriptedReply::Raw("", 500));
    } else if (reply == "dropped") {
      server.push(path, simcloud::ScriptedReply::Dropped());
    } else if (reply.empty()) {
      server.push(path, simcloud::ScriptedReply::Empty());
    } else if (reply.rfind("raw:", 0) == 0) {
      server.push(path, simcloud::ScriptedReply::Raw(reply.substr(4)));
    } else {
      Json::Value json;
      Json::CharReaderBuilder builder;
      const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
      if (!reader->parse(reply.data(), reply.data() + reply.size(), &json, nullptr)) {
        ADD_FAILURE() << "not JSON: " << reply;
      }
      server.push(path, simcloud::ScriptedReply::Enciphered(json));
    }
  }
  std::vector<CloudPost> posts() const {
    std::vector<CloudPost> out;
    for (const simcloud::ReceivedRequest& r : server.requests()) {
      CloudPost post{r.path, r.data, {}, {}};
      for (const simcloud::ReceivedPart& image : r.images) {
        post.images.push_back(image.filename);
        post.imageBytes.push_back(image.content);
      }
      out.push_back(std::move(post));
    }
    return out;
  }
  std::vector<std::string> pathsPosted() const {
    std::vector<std::string> out;
    for (const CloudPost& p : posts()) out.push_back(p.path);
    return out;
  }
  // Forgets the script and the requests, for the next case of a table.
  void reset() {
    server.reset();
    setCloudBaseUrl(server.baseUrl());
  }

  simcloud::CloudStandIn server;
  LibraryCloud client;  // what the dialog talks to
};

// Stops the shared stand-in when the tests end, before exit's clean-ups (OpenSSL's among them)
// run under its threads still serving a request a case left behind.
class SharedCloudEnd : public ::testing::Environment {
 public:
  void TearDown() override { StandInCloud::sharedHolder().reset(); }
};
inline ::testing::Environment* const kSharedCloudEnd = ::testing::AddGlobalTestEnvironment(new SharedCloudEnd);

}  // namespace torvane::testing
