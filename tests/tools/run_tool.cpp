#include "run_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace korvix::testing {

namespace {

ToolResult Run(const char* tool, const std::vector<std::string>& args, const std::string& input,
               const std::vector<std::string>& env, bool terminal) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) ||
      (terminal ? openpty(&err[0], &err[1], nullptr, nullptr, nullptr) : pipe2(err, O_CLOEXEC))) {
    throw std::runtime_error("pipe");
  }
  if (terminal) {
    fcntl(err[0], F_SETFD, FD_CLOEXEC);
    fcntl(err[1], F_SETFD, FD_CLOEXEC);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<std::string> argv_s = {tool};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_s = env;  // given variables replace inherited ones
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view inherited(*e);
    const auto same = [&](const std::string& v) {
      return inherited.substr(0, inherited.find('=') + 1) == v.substr(0, v.find('=') + 1);
    };
    if (std::none_of(env.begin(), env.end(), same)) env_s.emplace_back(inherited);
  }
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, tool, &actions, nullptr, argv.data(), envp.data()) != 0) {
    throw std::runtime_error("cannot start korvix");
  }
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Feed and drain at once, so that large inputs and outputs cannot deadlock.
  ToolResult result;
  std::size_t fed = 0;
  if (input.empty()) {
    close(in[1]);
    in[1] = -1;
  }
  int open_outputs = 2;
  while (open_outputs > 0 || in[1] >= 0) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    poll(fds, 3, -1);
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP))) continue;
      char buf[65536];
      const ssize_t n = read(fds[k].fd, buf, sizeof buf);
      if (n > 0) {
        (k == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
      } else {  // the end, or EIO from a terminal whose other side is closed
        close(fds[k].fd);
        (k == 0 ? out[0] : err[0]) = -1;
        --open_outputs;
      }
    }
    if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(in[1], input.data() + fed, std::min<std::size_t>(65536, input.size() - fed));
      if (n > 0) fed += static_cast<std::size_t>(n);
      if (n <= 0 || fed == input.size()) {
        close(in[1]);
        in[1] = -1;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const std::string& input,
                   const std::vector<std::string>& env, bool terminal) {
  return Run(KORVIX_TOOL_PATH, args, input, env, terminal);
}

ToolResult RunShell(const std::string& script, const std::vector<std::string>& env) {
  std::vector<std::string> all = {std::string("KORVIX=") + KORVIX_TOOL_PATH,
                                  std::string("COMPLETION=") + KORVIX_COMPLETION_PATH};
  all.insert(all.end(), env.begin(), env.end());
  return Run("/bin/sh", {"-c", script}, "", all, false);
}

}  // namespace korvix::testing
