#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace corvane::test {

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input,
                          const std::vector<std::string>& extra_env) {
  bool sent = false;
  return run_interactive(argv, extra_env, [&](const std::string&, const std::string&) {
    if (sent) return Reply{};
    sent = true;
    return Reply{input, true};
  });
}

ProcessResult run_interactive(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extra_env, const Responder& responder) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  for (const auto& e : extra_env) env_strings.push_back(e);
  std::vector<char*> args, env;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : env_strings) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // A child that ends while an answer is on its way must not take the test with it.
  signal(SIGPIPE, SIG_IGN);

  ProcessResult r;
  int in_fd = in[1];
  auto answer = [&](const Reply& reply) {
    std::size_t written = 0;
    while (in_fd >= 0 && written < reply.text.size()) {
      ssize_t w = write(in_fd, reply.text.data() + written, reply.text.size() - written);
      if (w <= 0) break;
      written += static_cast<std::size_t>(w);
    }
    if (reply.close && in_fd >= 0) {
      close(in_fd);
      in_fd = -1;
    }
  };
  answer(responder(r.out, r.err));
  bool out_open = true, err_open = true, killed = false;
  while (out_open || err_open) {
    pollfd fds[2];
    int n = 0;
    if (out_open) fds[n++] = {out[0], POLLIN, 0};
    if (err_open) fds[n++] = {err[0], POLLIN, 0};
    if (poll(fds, static_cast<nfds_t>(n), 60000) <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    for (int k = 0; k < n; ++k) {
      if (!fds[k].revents) continue;
      char buf[8192];
      ssize_t got = read(fds[k].fd, buf, sizeof buf);
      const bool is_out = fds[k].fd == out[0];
      if (got <= 0) {
        (is_out ? out_open : err_open) = false;
        continue;
      }
      (is_out ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
      answer(responder(r.out, r.err));
    }
  }
  if (in_fd >= 0) close(in_fd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_code = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace corvane::test
