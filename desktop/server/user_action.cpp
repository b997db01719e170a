#include "server/user_action.h"

#include <civetweb.h>

#include <string>

#include "app/torvane_app.h"
#include "dialog/torvane_dlg.h"
#include "fvplatform/clock.h"
#include "server/request_fields.h"

namespace torvane {
namespace {

void refuse(mg_connection* connection, const char* error) {
  HttpServer::sendJsonError(connection, 400, "Bad Request", error);
}

void startEnrolment(CTorvaneDlg& dialog, const std::string& query, bool employee) {
  EnrolRequest request;
  request.photoUrl = getRequestField(query, "image");
  request.collectId = requestInt(getRequestField(query, employee ? "empId" : "memberId"));
  request.employee = employee;
  request.name = getRequestField(query, "name");
  request.fingerType = requestInt(getRequestField(query, "finger_type"));
  request.clubId = requestInt(getRequestField(query, "clubId"));
  request.branchId = requestInt(getRequestField(query, "branchId"));
  dialog.storeEnrolRequest(request);
  dialog.bringToFront();
  Sleep(50);
  dialog.beginCollection();
}

// 1 once for the enrolment the cloud accepted, 0 while it runs, -2 otherwise.
int collectOutcome(CTorvaneDlg& dialog, int id) {
  int outcome = -2;
  dialog.update([&](DialogFields& f) {
    if (id != 0 && id == f.m_lastEnrolledId) {
      outcome = 1;
      f.m_lastEnrolledId = 0;
    } else if (id == f.m_collectId) {
      outcome = 0;
    }
  });
  return outcome;
}

}  // namespace

bool handleUserAction(const std::string&, const std::string& query, mg_connection* connection,
                      ReplyFunction reply) {
  CTorvaneDlg* dialog = mainDialog;
  if (dialog == nullptr) {
    refuse(connection, "not ready");
    return true;
  }
  const std::string type = getRequestField(query, "type");
  if (type == "openFingerCollect" || type == "postEmpFingerInfo") {
    startEnrolment(*dialog, query, type == "postEmpFingerInfo");
    reply(connection, "1", -1);
  } else if (type == "getFingerCollect" || type == "getEmpFingerSuccess") {
    const int id = requestInt(getRequestField(query, type == "getFingerCollect" ? "memberId" : "empId"));
    reply(connection, std::to_string(collectOutcome(*dialog, id)), -1);
  } else if (type == "getMemberSignIn") {
    const int club = requestInt(getRequestField(query, "clubId"));
    const int branch = requestInt(getRequestField(query, "branchId"));
    theApp().m_clubId = club;
    theApp().m_branchId = branch;
    int member = 0;
    bool signOut = false;
    dialog->update([&](DialogFields& f) {
      f.m_clubId = club;
      f.m_branchId = branch;
      member = f.m_signedMemberId;
      signOut = f.m_bSignOut;
      f.m_signedMemberId = 0;
      f.m_bSignOut = false;
    });
    reply(connection, std::to_string(member), signOut ? 1 : 0);
  } else {
    refuse(connection, "unknown type");
  }
  return true;
}

bool runLocalApiServer(HttpServer& server) {
  server.addRoute("/api/userAction", &handleUserAction);
  return server.serveForever();
}

}  // namespace torvane
