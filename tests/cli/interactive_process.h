#pragma once
// Runs a program of ours as a child process and answers what it asks on standard error
// (or prints on standard output) while it runs, the way a person at the terminal would.
#include <functional>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace corvane::test {

struct Reply {
  std::string text;    // written to the child's standard input
  bool close = false;  // then its standard input is closed
};

// Called after every piece of output with everything read so far.
using Responder = std::function<Reply(const std::string& out, const std::string& err)>;

// Like run_process, with the input given piece by piece by responder. A child that
// neither writes nor ends for a minute is killed (exit_code -1).
ProcessResult run_interactive(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extra_env, const Responder& responder);

}  // namespace corvane::test
