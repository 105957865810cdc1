#pragma once
// Runs a program of ours as a child process, feeds its standard input, and collects its
// exit status and output.
#include <functional>
#include <string>
#include <vector>

namespace corvane::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when it did not exit normally
  std::string out, err;
};

// Writes input to the child's standard input, closes it, and waits for the child.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input = "",
                          const std::vector<std::string>& extra_env = {});

struct Reply {
  std::string text;    // written to the child's standard input
  bool close = false;  // then its standard input is closed
};

// Called after every piece of output with everything read so far.
using Responder = std::function<Reply(const std::string& out, const std::string& err)>;

// Like run_process, with the input given piece by piece by responder, the way a person at
// the terminal would answer. A child that neither writes nor ends for a minute is killed
// (exit_code -1).
ProcessResult run_interactive(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extra_env, const Responder& responder);

}  // namespace corvane::test
