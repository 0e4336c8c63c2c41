#include "db/pg_cluster.h"

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>


namespace korvix::db::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kUser = "korvixtest";

std::string Tail(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  const std::string all = text.str();
  return all.size() > 1500 ? all.substr(all.size() - 1500) : all;
}

// Waits up to `limit` for `pid` to end; its exit status, or -1 when it did not.
int Wait(pid_t pid, Clock::duration limit) {
  for (const auto deadline = Clock::now() + limit; pid > 0; std::this_thread::sleep_for(20ms)) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    if (Clock::now() >= deadline) break;
  }
  return -1;
}

}  // namespace

PgCluster::~PgCluster() {
  Stop();
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

pid_t PgCluster::Spawn(std::vector<std::string> args, const std::string& log,
                       bool die_with_us) const {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // The child: only async-signal-safe calls; a failure ends it.
  const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(125);
  if (switch_user_ && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
    _exit(126);
  }
  if (die_with_us) {
    // An immediate shutdown when the test process dies, even by a crash;
    // set after the change of user, which clears it. A shell starts
    // background jobs with SIGQUIT ignored, which would swallow it.
    signal(SIGQUIT, SIG_DFL);
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGQUIT);
    sigprocmask(SIG_UNBLOCK, &quit, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGQUIT);
    if (getppid() != parent) _exit(1);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

bool PgCluster::Create(std::string* error) {
  int best = -1;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    const int version = std::atoi(entry.path().filename().c_str());
    if (version > best && fs::exists(entry.path() / "bin" / "initdb", ec)) {
      best = version;
      bin_dir_ = (entry.path() / "bin").string();
    }
  }
  if (bin_dir_.empty()) {
    *error = "no PostgreSQL server binaries under /usr/lib/postgresql/<version>/bin "
             "(install the package postgresql, see scripts/setup)";
    return false;
  }
  if (geteuid() == 0) {
    if (getpwnam(kUser) == nullptr) {  // still as root: switch_user_ is not set yet
      Wait(Spawn({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir",
                  "/nonexistent", "--shell", "/usr/sbin/nologin", kUser},
                 "/dev/null", false),
           30s);
    }
    const passwd* pw = getpwnam(kUser);
    if (pw == nullptr) {
      *error = std::string("cannot create the system user ") + kUser + " for the test server";
      return false;
    }
    switch_user_ = true;
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
  }
  // /tmp rather than TMPDIR: the socket path must stay short.
  char tmpl[] = "/tmp/korvix-pg-XXXXXX";
  if (mkdtemp(tmpl) == nullptr || (switch_user_ && chown(tmpl, uid_, gid_) != 0)) {
    *error = "cannot make a temporary directory for the test server";
    return false;
  }
  dir_ = tmpl;
  const std::string log = dir_ + "/initdb.log";
  const int status = Wait(Spawn({bin_dir_ + "/initdb", "-D", dir_ + "/data", "-A", "trust", "-U",
                                 "postgres", "-N", "-E", "UTF8", "--locale=C"},
                                log, false),
                          120s);
  if (status != 0) {
    *error = "initdb failed (" + std::to_string(status) + "): " + Tail(log);
    return false;
  }
  return true;
}

bool PgCluster::Start(std::string* error) {
  if (running()) return true;
  const std::string log = dir_ + "/server.log";
  server_pid_ = Spawn({bin_dir_ + "/postgres", "-D", dir_ + "/data", "-k", dir_, "-c",
                       "listen_addresses=", "-c", "fsync=off", "-c", "synchronous_commit=off",
                       "-c", "full_page_writes=off", "-c", "max_connections=60"},
                      log, true);
  for (const auto deadline = Clock::now() + 30s; Clock::now() < deadline;
       std::this_thread::sleep_for(50ms)) {
    if (PQping(ConnInfo().c_str()) == PQPING_OK) return true;
    if (Wait(server_pid_, 0s) >= 0) {
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
  if (Wait(server_pid_, 10s) < 0) {
    kill(server_pid_, SIGKILL);
    waitpid(server_pid_, nullptr, 0);
  }
  server_pid_ = -1;
}

std::string PgCluster::ConnInfo(std::string_view user) const {
  return "host=" + dir_ + " port=5432 dbname=postgres connect_timeout=5 user=" + std::string(user);
}

namespace {

// Destroyed, so the server stopped, when the test process ends, failed
// tests included.
std::unique_ptr<PgCluster>& Shared() {
  static std::unique_ptr<PgCluster> cluster;
  return cluster;
}

}  // namespace

PgCluster* SharedCluster(std::string* why) {
  static std::string failure;
  static bool tried = false;
  if (!Shared() && !tried) {
    tried = true;
    auto cluster = std::make_unique<PgCluster>();
    if (cluster->Create(&failure)) Shared() = std::move(cluster);
  }
  if (Shared() && Shared()->Start(&failure)) return Shared().get();
  *why = failure;
  return nullptr;
}

bool ServerRequired() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

}  // namespace korvix::db::testing
