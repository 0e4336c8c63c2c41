#include "platform/db/pg_cluster.h"

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace korvix::db::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUser = "korvixtest";
constexpr const char* kPostgresRoot = "/usr/lib/postgresql";

struct Identity {
  bool switch_user = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

// In the child after fork: output to `log`, then the cluster's user.
// Only async-signal-safe calls; failures end the child.
void BecomeServerChild(const char* log, const Identity& as) {
  const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) _exit(125);
  dup2(fd, STDOUT_FILENO);
  dup2(fd, STDERR_FILENO);
  close(fd);
  if (as.switch_user && (setgroups(0, nullptr) != 0 || setgid(as.gid) != 0 || setuid(as.uid) != 0)) {
    _exit(126);
  }
}

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Runs `args` (args[0] a full path) to its end; returns its exit status.
int Run(std::vector<std::string> args, const std::string& log, const Identity& as) {
  std::vector<char*> argv = Argv(args);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    BecomeServerChild(log.c_str(), as);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Tail(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  return all.size() > 1500 ? all.substr(all.size() - 1500) : all;
}

bool EnsureUser(Identity* as, std::string* error) {
  if (getpwnam(kUser) == nullptr) {
    Run({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
         "--shell", "/usr/sbin/nologin", kUser},
        "/dev/null", Identity{});
  }
  const passwd* pw = getpwnam(kUser);
  if (pw == nullptr) {
    *error = std::string("cannot create the system user ") + kUser + " for the test server";
    return false;
  }
  as->switch_user = true;
  as->uid = pw->pw_uid;
  as->gid = pw->pw_gid;
  return true;
}

}  // namespace

std::string PgCluster::FindBinDir(std::string* why) {
  std::string best;
  int best_version = -1;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kPostgresRoot, ec)) {
    const std::string version = entry.path().filename().string();
    const fs::path bin = entry.path() / "bin";
    if (!fs::exists(bin / "postgres", ec) || !fs::exists(bin / "initdb", ec)) continue;
    const int number = std::atoi(version.c_str());
    if (number > best_version) {
      best_version = number;
      best = bin.string();
    }
  }
  if (best.empty()) {
    *why = std::string("no PostgreSQL server binaries under ") + kPostgresRoot +
           "/<version>/bin (install the package postgresql, see scripts/setup)";
  }
  return best;
}

bool PgCluster::Create(std::string* error) {
  bin_dir_ = FindBinDir(error);
  if (bin_dir_.empty()) return false;
  Identity as;
  if (geteuid() == 0 && !EnsureUser(&as, error)) return false;
  switch_user_ = as.switch_user;
  uid_ = as.uid;
  gid_ = as.gid;

  // /tmp rather than TMPDIR: the socket path must stay short.
  char tmpl[] = "/tmp/korvix-pg-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    *error = "cannot make a temporary directory for the test server";
    return false;
  }
  dir_ = tmpl;
  if (switch_user_ && chown(dir_.c_str(), uid_, gid_) != 0) {
    *error = "cannot hand " + dir_ + " to " + kUser;
    return false;
  }
  const std::string log = dir_ + "/initdb.log";
  const int status = Run({bin_dir_ + "/initdb", "-D", dir_ + "/data", "-A", "trust", "-U",
                          "postgres", "-N", "-E", "UTF8", "--locale=C"},
                         log, as);
  if (status != 0) {
    *error = "initdb failed (" + std::to_string(status) + "): " + Tail(log);
    return false;
  }
  return true;
}

bool PgCluster::Start(std::string* error) {
  if (running()) return true;
  const std::string log = dir_ + "/server.log";
  std::vector<std::string> args = {bin_dir_ + "/postgres", "-D", dir_ + "/data", "-k", dir_,
                                   "-c", "listen_addresses=", "-c", "fsync=off",
                                   "-c", "synchronous_commit=off", "-c", "full_page_writes=off",
                                   "-c", "max_connections=60"};
  std::vector<char*> argv = Argv(args);
  const Identity as{switch_user_, uid_, gid_};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    *error = "fork failed";
    return false;
  }
  if (pid == 0) {
    BecomeServerChild(log.c_str(), as);
    // An immediate shutdown when the test process dies, even by a crash.
    // Set after the change of user, which would clear it. A shell starts
    // background jobs with SIGQUIT ignored, which would swallow the signal
    // until the server installs its own handler.
    signal(SIGQUIT, SIG_DFL);
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGQUIT);
    sigprocmask(SIG_UNBLOCK, &quit, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGQUIT);
    if (getppid() != parent) _exit(1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  server_pid_ = pid;
  const std::string conninfo = ConnInfo();
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
    if (PQping(conninfo.c_str()) == PQPING_OK) return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      server_pid_ = -1;
      *error = "the test server exited at start: " + Tail(log);
      return false;
    }
  }
  Stop();
  *error = "the test server did not accept connections within 30 s: " + Tail(log);
  return false;
}

void PgCluster::Stop() {
  if (!running()) return;
  kill(server_pid_, SIGINT);  // fast shutdown
  int status = 0;
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
    if (waitpid(server_pid_, &status, WNOHANG) == server_pid_) {
      server_pid_ = -1;
      return;
    }
  }
  kill(server_pid_, SIGKILL);
  waitpid(server_pid_, &status, 0);
  server_pid_ = -1;
}

void PgCluster::Destroy() {
  Stop();
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    dir_.clear();
  }
}

std::string PgCluster::ConnInfo(std::string_view user) const {
  return "host=" + dir_ + " port=5432 dbname=postgres connect_timeout=5 user=" + std::string(user);
}

namespace {

std::unique_ptr<PgCluster>& Shared() {
  static std::unique_ptr<PgCluster> cluster;
  return cluster;
}

// Stops the shared server when the tests end, failed ones included.
class SharedClusterEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { Shared().reset(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SharedClusterEnvironment);

}  // namespace

PgCluster* SharedCluster(std::string* why) {
  static bool tried = false;
  static std::string failure;
  if (Shared()) {
    // A test that stopped the server to watch sessions fail may have left
    // it down; the next one gets it running again.
    if (!Shared()->running() && !Shared()->Start(&failure)) {
      *why = failure;
      return nullptr;
    }
    return Shared().get();
  }
  if (tried) {
    *why = failure;
    return nullptr;
  }
  tried = true;
  auto cluster = std::make_unique<PgCluster>();
  if (!cluster->Create(&failure) || !cluster->Start(&failure)) {
    *why = failure;
    return nullptr;
  }
  Shared() = std::move(cluster);
  return Shared().get();
}

bool ServerRequired() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

}  // namespace korvix::db::testing
