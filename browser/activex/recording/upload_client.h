#pragma once
// The client of the local upload service: one text out (the upload address and a file path,
// with its terminating zero), one decimal number of at most 10 bytes back.

#include <string>

namespace pellacor {

inline constexpr const char* kUploadHost = "127.0.0.1";
inline constexpr int kUploadPort = 9000;
inline constexpr const char* kUploadPortEnv = "FV_UPLOAD_PORT";
// How long the service may take to answer, on the platform clock.
inline constexpr int kUploadAnswerLimitMs = 5000;

struct UploadOutcome {
  bool connected = false;
  bool sent = false;
  int answerBytes = 0;  // 0 when nothing came within the limit
  double answer = 0.0;
};

// kUploadPort, unless FV_UPLOAD_PORT names another port (1 to 65535) for the service.
int UploadServicePort();

// Connects to the service (a refused connect ends it there), sends `text` and its zero in one
// send and reads the answer until the limit passes.
UploadOutcome SendToUploadService(const std::string& text, int port = kUploadPort,
                                  int answerLimitMs = kUploadAnswerLimitMs);

// A recording's file name as the page may give it: not empty, no folder part ("/" or "\")
// and no "..", so the path handed on stays inside the recording folder.
bool IsPlainFileName(const std::string& name);

}  // namespace pellacor
