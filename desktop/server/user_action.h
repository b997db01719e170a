#pragma once
// "/api/userAction": the management page starts an enrolment, polls its outcome and collects
// the last sign-in, through the main dialog.

#include "server/http_server.h"

namespace torvane {

// The route handler; acts on `mainDialog`. A missing dialog or an unknown `type` gets a 400
// reply with a short JSON error.
bool handleUserAction(const std::string& path, const std::string& query, mg_connection* connection,
                      ReplyFunction reply);

// The server with its one route, serving until the process ends; false when it cannot listen.
bool runLocalApiServer(HttpServer& server);

}  // namespace torvane
