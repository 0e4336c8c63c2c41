// The report file that appears complete or not at all.
#include "dedupe/report/report_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "dedupe/core/error.h"
#include "case_file.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

using korvix::testing::ReadFile;
using korvix::testing::TempDir;
using Names = std::set<std::string>;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(ReportFile, TheTargetChangesOnlyOnCommitAndKeepsItsMode) {
  const TempDir dir;
  const std::string target = dir.File("report.txt", "old report\n");
  ::chmod(target.c_str(), 0640);
  {
    ReportFile file(target);
    file.Write(std::string(3 << 20, 'x'));  // past one block: some of it is on disk
    EXPECT_EQ(ReadFile(target), "old report\n");
    EXPECT_EQ(dir.Names().size(), 2u);  // the target and the temporary file
  }  // dropped without Commit: a failed run
  EXPECT_EQ(ReadFile(target), "old report\n");
  EXPECT_EQ(dir.Names(), Names{"report.txt"});
  // Through a symbolic link: the target is replaced, the link stays.
  ASSERT_EQ(::symlink("report.txt", dir.Path("link").c_str()), 0);
  {
    ReportFile file(dir.Path("link"));
    file.Line("new report");
    file.Commit();
  }
  EXPECT_EQ(ReadFile(target), "new report\n");
  EXPECT_EQ(ModeOf(target), 0640u);
  struct stat st;
  ASSERT_EQ(::lstat(dir.Path("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(dir.Names(), (Names{"link", "report.txt"}));

  const mode_t old_mask = ::umask(027);
  ReportFile(dir.Path("new.txt")).Commit();
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(dir.Path("new.txt")), 0640u);
  EXPECT_THROW(ReportFile(dir.Path("missing/report.txt")), Error);
}

TEST(ReportFile, DevicesAndFifosAreWrittenStraight) {
  const TempDir dir;
  {
    ReportFile file("/dev/null");
    file.Line("gone");
    file.Commit();
  }
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t reader = ::fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    const std::string got = ReadFile(fifo);
    ::_exit(got == "through the fifo\n" ? 0 : 1);
  }
  {
    ReportFile file(fifo);
    file.Line("through the fifo");
    file.Commit();
  }
  int status = 0;
  ASSERT_EQ(::waitpid(reader, &status, 0), reader);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(dir.Names(), Names{"fifo"});
}

// Runs `work` in a child process and returns its wait status.
template <class Work>
int InChild(Work&& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    work();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(ReportFile, NoTemporaryFileOutlivesAFailureOrACrash) {
  const TempDir dir;
  const std::string target = dir.File("report.txt", "old\n");
  // Signals that end a run: the handler removes the file, then the signal ends the process.
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const int status = InChild([&] {
      ReportFile file(target);
      file.Write(std::string(2 << 20, 'x'));
      ::raise(sig);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_EQ(dir.Names(), Names{"report.txt"}) << sig;
  }
  // The file size limit: the write fails (EFBIG) instead of killing the process.
  const int status = InChild([&] {
    const rlimit limit = {1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      ReportFile file(target);
      file.Write(std::string(3 << 20, 'x'));
      file.Commit();
    } catch (const Error& e) {
      ::_exit(std::string(e.what()).find("File too large") != std::string::npos ? 3 : 4);
    }
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  EXPECT_EQ(dir.Names(), Names{"report.txt"});
  // A crash leaves the temporary file; the next report there removes it.
  EXPECT_TRUE(WIFSIGNALED(InChild([&] {
    ReportFile file(target);
    ::signal(SIGKILL, SIG_DFL);
    ::raise(SIGKILL);
  })));
  ASSERT_EQ(dir.Names().size(), 2u);
  EXPECT_TRUE(dir.Names().begin()->starts_with(".report.txt.korvix-"));
  ReportFile(target).Commit();
  EXPECT_EQ(dir.Names(), Names{"report.txt"});
  EXPECT_EQ(ReadFile(target), "");
}

// A failure while Commit writes the last block leaves the old report as it
// was, not the part of the new one written so far.
TEST(ReportFile, AFailedCommitLeavesTheOldReportWhole) {
  const TempDir dir;
  const std::string target = dir.File("report.txt", "old report\n");
  const int status = InChild([&] {
    const rlimit limit = {1 << 19, 1 << 19};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      ReportFile file(target);
      file.Write(std::string((1 << 20) - 1, 'x'));  // less than a block: Commit writes it all
      file.Commit();
    } catch (const Error&) {
      ::_exit(3);
    }
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  EXPECT_EQ(ReadFile(target), "old report\n");
  EXPECT_EQ(dir.Names(), Names{"report.txt"});
}

}  // namespace
}  // namespace korvix::dedupe
