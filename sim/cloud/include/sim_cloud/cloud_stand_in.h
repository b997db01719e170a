#pragma once
// The cloud membership service's stand-in: an HTTP server on loopback that takes the desktop
// program's multipart requests, deciphers their payload and answers with enciphered JSON.
// Tests queue the replies they want, for the next request or for the next request to one path;
// without a queued reply it answers plainly (any member enrols, the last enrolled member signs
// in).

#include <json/value.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mg_connection;
struct mg_context;

namespace simcloud {

inline constexpr int kExpectedAppId = 10021;

struct ReceivedPart {
  std::string name;
  std::string filename;     // empty for a text part
  std::string contentType;  // empty when the part names none
  std::string content;
};

struct ReceivedRequest {
  std::string path;         // without the leading "/"
  std::string contentType;  // the request's header
  bool hasExpectHeader = false;
  std::string body;         // byte for byte as it arrived
  bool wellFormed = false;  // delimiters, part headers and the closing line all in place
  std::vector<ReceivedPart> parts;
  std::string data;         // the "data" part deciphered ("" when it does not decipher)
  bool jsonParsed = false;
  Json::Value json;
  int appId = -1;      // -1 when absent or not a number
  int imagesNum = -1;  // likewise
  std::vector<ReceivedPart> images;  // the parts with a file name, in order
};

struct ScriptedReply {
  enum class Kind { Enciphered, Raw, Never, Dropped };
  Kind kind = Kind::Enciphered;
  Json::Value json;  // Enciphered
  std::string raw;   // Raw: the body as it goes out
  int status = 200;

  static ScriptedReply Enciphered(Json::Value json);
  static ScriptedReply Raw(std::string body, int status = 200);
  static ScriptedReply Empty();
  static ScriptedReply Garbage();
  // No answer until the stand-in is released or stopped; then the connection closes unanswered.
  static ScriptedReply Never();
  // The connection closes at once without an answer.
  static ScriptedReply Dropped();
};

class CloudStandIn {
 public:
  // Port 0 takes any free port on 127.0.0.1. Throws std::runtime_error when it cannot listen.
  explicit CloudStandIn(int port = 0);
  ~CloudStandIn();
  CloudStandIn(const CloudStandIn&) = delete;
  CloudStandIn& operator=(const CloudStandIn&) = delete;

  int port() const { return port_; }
  std::string baseUrl() const;  // "http://127.0.0.1:<port>/"

  void push(ScriptedReply reply);
  // For the next request to `path` (without the leading "/"); taken before the queue above.
  void push(const std::string& path, ScriptedReply reply);
  std::vector<ReceivedRequest> requests() const;
  // Waits (real time, for synchronising a test) until `count` requests have arrived.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds limit) const;
  // Lets every reply that never comes end now.
  void releaseHeldReplies();
  // Forgets the script, the requests and the default's state, for the next test.
  void reset();

  // The plain default's state: the member whose enrolment it accepted last (0 = none).
  int lastEnrolledMember() const;

 private:
  static int Handle(mg_connection* conn, void* self);
  int Serve(mg_connection* conn);
  ScriptedReply NextReply(const ReceivedRequest& request);
  ScriptedReply DefaultReply(const ReceivedRequest& request);

  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  std::deque<ScriptedReply> script_;
  std::map<std::string, std::deque<ScriptedReply>> pathScripts_;
  std::vector<ReceivedRequest> requests_;
  std::uint64_t releases_ = 0;  // a held reply ends when this moves
  bool stopping_ = false;
  int lastEnrolledMember_ = 0;
  int port_ = 0;
  mg_context* server_ = nullptr;
};

// Splits a body into its parts and reads "data", "appId", "imagesNum" and the images.
ReceivedRequest ParseRequestBody(std::string body);

}  // namespace simcloud
