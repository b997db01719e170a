#include "sim_cloud/cloud_stand_in.h"

#include <civetweb.h>
#include <json/writer.h>

#include <stdexcept>

#include "payload_oracle.h"

namespace simcloud {
namespace {

std::string CompactJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, value);
}

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

void Answer(mg_connection* conn, int status, const std::string& body) {
  mg_printf(conn,
            "HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
            "Connection: close\r\n\r\n",
            status, StatusText(status), body.size());
  if (!body.empty()) mg_write(conn, body.data(), body.size());
}

}  // namespace

ScriptedReply ScriptedReply::Enciphered(Json::Value json) {
  ScriptedReply reply;
  reply.json = std::move(json);
  return reply;
}

ScriptedReply ScriptedReply::Raw(std::string body, int status) {
  ScriptedReply reply;
  reply.kind = Kind::Raw;
  reply.raw = std::move(body);
  reply.status = status;
  return reply;
}

ScriptedReply ScriptedReply::Empty() { return Raw(""); }

ScriptedReply ScriptedReply::Garbage() { return Raw("\x01\x7f{not base64 at all}\r\n==="); }

ScriptedReply ScriptedReply::Never() {
  ScriptedReply reply;
  reply.kind = Kind::Never;
  return reply;
}

ScriptedReply ScriptedReply::Dropped() {
  ScriptedReply reply;
  reply.kind = Kind::Dropped;
  return reply;
}

CloudStandIn::CloudStandIn(int port) {
  const std::string ports = "127.0.0.1:" + std::to_string(port);
  const char* options[] = {"listening_ports", ports.c_str(), "num_threads", "8", nullptr};
  mg_callbacks callbacks{};
  server_ = mg_start(&callbacks, nullptr, options);
  if (server_ == nullptr) throw std::runtime_error("cloud stand-in cannot listen on " + ports);
  mg_server_port listening[1]{};
  if (mg_get_server_ports(server_, 1, listening) != 1) {
    mg_stop(server_);
    throw std::runtime_error("cloud stand-in has no port");
  }
  port_ = listening[0].port;
  mg_set_request_handler(server_, "/", &CloudStandIn::Handle, this);
}

CloudStandIn::~CloudStandIn() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  releaseHeldReplies();
  mg_stop(server_);
}

std::string CloudStandIn::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void CloudStandIn::push(ScriptedReply reply) {
  const std::lock_guard<std::mutex> hold(lock_);
  script_.push_back(std::move(reply));
}

void CloudStandIn::push(const std::string& path, ScriptedReply reply) {
  const std::lock_guard<std::mutex> hold(lock_);
  pathScripts_[path].push_back(std::move(reply));
}

std::vector<ReceivedRequest> CloudStandIn::requests() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

bool CloudStandIn::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, limit, [&] { return requests_.size() >= count; });
}

void CloudStandIn::releaseHeldReplies() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    ++releases_;
  }
  changed_.notify_all();
}

void CloudStandIn::reset() {
  releaseHeldReplies();
  const std::lock_guard<std::mutex> hold(lock_);
  script_.clear();
  pathScripts_.clear();
  requests_.clear();
  lastEnrolledMember_ = 0;
}

int CloudStandIn::lastEnrolledMember() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return lastEnrolledMember_;
}

int CloudStandIn::Handle(mg_connection* conn, void* self) {
  return static_cast<CloudStandIn*>(self)->Serve(conn);
}

int CloudStandIn::Serve(mg_connection* conn) {
  std::string body;
  char piece[8192];
  for (int n; (n = mg_read(conn, piece, sizeof piece)) > 0;) body.append(piece, static_cast<std::size_t>(n));

  ReceivedRequest request = ParseRequestBody(std::move(body));
  const mg_request_info* info = mg_get_request_info(conn);
  request.path = info->local_uri != nullptr && info->local_uri[0] == '/' ? info->local_uri + 1 : "";
  const char* type = mg_get_header(conn, "Content-Type");
  request.contentType = type != nullptr ? type : "";
  request.hasExpectHeader = mg_get_header(conn, "Expect") != nullptr;

  const ScriptedReply reply = NextReply(request);
  std::uint64_t releasesSeen = 0;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(std::move(request));
    releasesSeen = releases_;
  }
  changed_.notify_all();

  switch (reply.kind) {
    case ScriptedReply::Kind::Never: {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] { return stopping_ || releases_ != releasesSeen; });
      return 444;  // closes without an answer
    }
    case ScriptedReply::Kind::Dropped:
      return 444;
    case ScriptedReply::Kind::Raw:
      Answer(conn, reply.status, reply.raw);
      return reply.status;
    case ScriptedReply::Kind::Enciphered:
      Answer(conn, reply.status, EncipherPayload(CompactJson(reply.json)));
      return reply.status;
  }
  return 500;
}

ScriptedReply CloudStandIn::NextReply(const ReceivedRequest& request) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    const auto forPath = pathScripts_.find(request.path);
    if (forPath != pathScripts_.end() && !forPath->second.empty()) {
      ScriptedReply next = std::move(forPath->second.front());
      forPath->second.pop_front();
      return next;
    }
    if (!script_.empty()) {
      ScriptedReply next = std::move(script_.front());
      script_.pop_front();
      return next;
    }
  }
  return DefaultReply(request);
}

}  // namespace simcloud
