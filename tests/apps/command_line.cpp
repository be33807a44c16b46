#include "tests/apps/command_line.hpp"

#include "tests/support/child_process.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::testing {

CommandRun runHost(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{(executableDirectory() / "velmoradine").string()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  auto completed = runToCompletion(command);
  // The exit status of a host that did not exit by itself is 128 + its signal.
  return {completed.exitStatus >= 128 ? -1 : completed.exitStatus,
          std::move(completed.standardOutput), std::move(completed.standardError)};
}

}  // namespace velmoradine::testing
