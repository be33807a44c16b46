#include "tests/apps/command_line.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

extern char** environ;

namespace velmoradine::testing {
namespace {

std::string contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

CommandRun runHost(const std::vector<std::string>& arguments) {
  TemporaryDirectory streams;
  const std::string program = (executableDirectory() / "velmoradine").string();
  const std::string output = (streams.path() / "out").string();
  const std::string errors = (streams.path() / "err").string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CommandRun run;
  if (spawned != 0) return run;
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.output = contents(output);
  run.errors = contents(errors);
  return run;
}

}  // namespace velmoradine::testing
