// The report file that appears complete or not at all.
#include "dedupe/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "cli.h"
#include "dedupe_test_files.h"

namespace korvix::cli {
namespace {

using testing::ReadFile;
using testing::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicFile, TheTargetChangesOnlyOnCommit) {
  const ScratchDir dir;
  const std::string target = dir.Write("report.txt", "old report\n");
  ::chmod(target.c_str(), 0640);
  {
    AtomicFile file(target);
    std::fputs("half a new rep", file.file());
    std::fflush(file.file());
    EXPECT_EQ(ReadFile(target), "old report\n");
    EXPECT_EQ(dir.Names().size(), 2u);  // the target and the temporary file
  }  // dropped without Commit: a failed run
  EXPECT_EQ(ReadFile(target), "old report\n");
  EXPECT_EQ(dir.Names(), std::set<std::string>{"report.txt"});

  {
    AtomicFile file(target);
    std::fputs("new report\n", file.file());
    file.Commit();
  }
  EXPECT_EQ(ReadFile(target), "new report\n");
  EXPECT_EQ(ModeOf(target), 0640u);  // the mode the file had
  EXPECT_EQ(dir.Names(), std::set<std::string>{"report.txt"});
}

TEST(AtomicFile, ANewFileGetsTheUsualModeAndABadPlaceFailsAtOnce) {
  const ScratchDir dir;
  const mode_t old_mask = ::umask(027);
  {
    AtomicFile file(dir.Path("new.txt"));
    file.Commit();
  }
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(dir.Path("new.txt")), 0640u);
  EXPECT_THROW(AtomicFile(dir.Path("missing/report.txt")), IoError);
}

TEST(AtomicFile, AnInterruptedRunLeavesNeitherHalfAReportNorATemporaryFile) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const ScratchDir dir;
    const std::string target = dir.Write("report.txt", "old\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      AtomicFile file(target);
      std::fputs("half", file.file());
      std::fflush(file.file());
      ::raise(sig);
      ::_exit(0);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig;
    EXPECT_EQ(ReadFile(target), "old\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"report.txt"}) << "signal " << sig;
  }
}

}  // namespace
}  // namespace korvix::cli
