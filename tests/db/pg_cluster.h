// A throw-away PostgreSQL server for the back-end tests.
//
// The cluster lives in a fresh temporary directory and listens only on a
// Unix socket there, so several test processes never meet. The server
// refuses to run as root; under root (as in CI) it runs as the system user
// "korvixtest", which is created when missing. The server dies with the
// test process even when that crashes, and the directory is removed when
// the cluster is destroyed.
#ifndef KORVIX_TESTS_PLATFORM_DB_PG_CLUSTER_H_
#define KORVIX_TESTS_PLATFORM_DB_PG_CLUSTER_H_

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace korvix::db::testing {

class PgCluster {
 public:
  PgCluster() = default;
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // Makes the directory and the cluster in it (initdb).
  bool Create(std::string* error);
  // Starts the server and waits until it accepts connections.
  bool Start(std::string* error);
  // Stops the server (fast shutdown: sessions are disconnected).
  void Stop();

  bool running() const { return server_pid_ > 0; }
  const std::string& dir() const { return dir_; }

  // A libpq key=value string for database "postgres" as `user`.
  std::string ConnInfo(std::string_view user = "postgres") const;

 private:
  // Starts `args` (args[0] a full path) as the cluster's user, output to `log`.
  pid_t Spawn(std::vector<std::string> args, const std::string& log, bool die_with_us) const;

  std::string bin_dir_;
  std::string dir_;
  bool switch_user_ = false;  // run the binaries as uid_/gid_
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  pid_t server_pid_ = -1;
};

// The cluster that all PostgreSQL tests of this process share, created and
// started on first use (and again after a test stopped it) and destroyed
// when the tests end. Returns null with *why set when there is none.
PgCluster* SharedCluster(std::string* why);

// True when the environment requires the PostgreSQL tests to run (CI=true)
// rather than be skipped for want of a server.
bool ServerRequired();

}  // namespace korvix::db::testing

#endif  // KORVIX_TESTS_PLATFORM_DB_PG_CLUSTER_H_
