#pragma once

// Runs the command-line host built beside the tests.

#include <string>
#include <vector>

namespace velmoradine::testing {

struct CommandRun {
  // The exit status, or -1 when the host did not exit normally.
  int status = -1;
  std::string output;
  std::string errors;
};

CommandRun runHost(const std::vector<std::string>& arguments);

}  // namespace velmoradine::testing
