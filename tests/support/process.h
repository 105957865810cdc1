#pragma once
// Runs a program of ours as a child process with the given standard input, and collects
// its exit status and output.
#include <string>
#include <vector>

namespace corvane::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when it did not exit normally
  std::string out, err;
};

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input = "",
                          const std::vector<std::string>& extra_env = {});

}  // namespace corvane::test
