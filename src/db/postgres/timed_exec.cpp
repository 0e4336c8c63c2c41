#include "db/postgres/timed_exec.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace korvix::db::postgres {
namespace {

using Clock = std::chrono::steady_clock;

// How long to wait for the answer to a cancel request before giving up on
// the connection for now.
constexpr std::chrono::milliseconds kCancelGrace{1000};

// libpq messages span lines with tabs; the caller shows one line.
std::string OneLine(const char* text) {
  std::string line;
  bool blank = false;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    const bool space = *p == ' ' || *p == '\n' || *p == '\t' || *p == '\r';
    if (space) {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += *p;
  }
  return line;
}

std::string ResultMessage(const PGresult* result) {
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  return OneLine(primary != nullptr ? primary : PQresultErrorMessage(result));
}

bool IsFailure(const PGresult* result) {
  const ExecStatusType status = PQresultStatus(result);
  return status == PGRES_BAD_RESPONSE || status == PGRES_NONFATAL_ERROR ||
         status == PGRES_FATAL_ERROR;
}

enum class Await { kReady, kTimeout, kLost };

// Waits until libpq holds a complete result (or knows there is none).
Await AwaitResult(PGconn* conn, Clock::time_point deadline) {
  while (PQisBusy(conn)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Await::kTimeout;
    pollfd fd{PQsocket(conn), POLLIN, 0};
    if (fd.fd < 0) return Await::kLost;
    const int rc = poll(&fd, 1, static_cast<int>(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) return Await::kLost;
    if (rc > 0 && !PQconsumeInput(conn)) return Await::kLost;
  }
  return Await::kReady;
}

// Reads and drops every result still due on `conn`. Returns false when
// they did not all arrive before `deadline`.
bool Drain(PGconn* conn, Clock::time_point deadline) {
  for (;;) {
    const Await await = AwaitResult(conn, deadline);
    if (await == Await::kTimeout) return false;
    if (await == Await::kLost) return true;  // nothing more will come
    PGresult* result = PQgetResult(conn);
    if (result == nullptr) return true;
    PQclear(result);
  }
}

// PQcancel opens a connection of its own to the server and, unlike the
// session, ignores connect_timeout, so an unreachable server could block it
// for minutes. It runs apart so that the caller's bound holds; the cancel
// object is a copy that needs nothing from the session.
void CancelApart(PGconn* conn) {
  PGcancel* cancel = PQgetCancel(conn);
  if (cancel == nullptr) return;
  std::thread([cancel] {
    char message[256];
    PQcancel(cancel, message, sizeof message);
    PQfreeCancel(cancel);
  }).detach();
}

bool Ready(PGconn* conn, Clock::time_point deadline, std::string* error) {
  if (conn == nullptr) {
    *error = "the connection is closed";
    return false;
  }
  // A statement that timed out earlier may still be answered; its result
  // must not be taken for this one's.
  if (!Drain(conn, deadline)) {
    *error = "the connection is still busy with an earlier statement that did not finish";
    return false;
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    *error = "the connection to the server is lost: " + ConnectionMessage(conn);
    return false;
  }
  return true;
}

// Collects the results of what was sent: the first failure, else the last
// result. Returns null with *error set on failure.
ResultPtr Collect(PGconn* conn, Clock::time_point deadline, std::chrono::milliseconds timeout,
                  std::string* error) {
  ResultPtr last;
  std::string failure;
  for (;;) {
    const Await await = AwaitResult(conn, deadline);
    if (await == Await::kTimeout) {
      CancelApart(conn);
      Drain(conn, Clock::now() + std::min(timeout, kCancelGrace));
      *error = "the server did not answer within " + std::to_string(timeout.count()) + " ms";
      return nullptr;
    }
    if (await == Await::kLost) {
      *error = "the connection to the server is lost: " + ConnectionMessage(conn);
      return nullptr;
    }
    ResultPtr result(PQgetResult(conn));
    if (!result) break;
    if (failure.empty() && IsFailure(result.get())) failure = ResultMessage(result.get());
    last = std::move(result);
  }
  if (!failure.empty() || !last) {
    *error = !failure.empty() ? failure : "the server returned no result";
    if (PQstatus(conn) != CONNECTION_OK && failure.empty()) *error += ": " + ConnectionMessage(conn);
    return nullptr;
  }
  return last;
}

}  // namespace

std::string ConnectionMessage(const PGconn* conn) {
  return conn != nullptr ? OneLine(PQerrorMessage(conn)) : "no connection";
}

ResultPtr ExecParams(PGconn* conn, std::string_view sql, const std::vector<Value>& params,
                     std::chrono::milliseconds timeout, std::string* error) {
  const Clock::time_point deadline = Clock::now() + timeout;
  if (!Ready(conn, deadline, error)) return nullptr;
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const Value& param : params) values.push_back(param ? param->c_str() : nullptr);
  // The extended protocol runs exactly one statement, so a caller's text
  // can never carry a second one along.
  if (!PQsendQueryParams(conn, std::string(sql).c_str(), static_cast<int>(values.size()),
                         nullptr, values.data(), nullptr, nullptr, 0)) {
    *error = ConnectionMessage(conn);
    return nullptr;
  }
  return Collect(conn, deadline, timeout, error);
}

bool ExecScript(PGconn* conn, std::string_view sql, std::chrono::milliseconds timeout,
                std::string* error) {
  const Clock::time_point deadline = Clock::now() + timeout;
  if (!Ready(conn, deadline, error)) return false;
  if (!PQsendQuery(conn, std::string(sql).c_str())) {
    *error = ConnectionMessage(conn);
    return false;
  }
  return Collect(conn, deadline, timeout, error) != nullptr;
}

}  // namespace korvix::db::postgres
