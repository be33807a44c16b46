#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "commands.hpp"

namespace {

using velmoradine::cli::Arguments;

const std::map<std::string, std::function<int(const Arguments&)>>& commands() {
  static const std::map<std::string, std::function<int(const Arguments&)>> table = {
      {"info", velmoradine::cli::infoCommand},
      {"render-layers", velmoradine::cli::renderLayersCommand},
      {"probe", velmoradine::cli::probeCommand},
      {"thumbnail", velmoradine::cli::thumbnailCommand},
      {"share", velmoradine::cli::shareCommand},
      {"make-sample", velmoradine::cli::makeSampleCommand},
  };
  return table;
}

int usage() {
  std::fprintf(stderr, "usage: velmoradine COMMAND [ARGS...]\ncommands:\n");
  for (const auto& [name, command] : commands()) std::fprintf(stderr, "  %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  auto found = commands().find(argv[1]);
  if (found == commands().end()) return usage();
  return found->second(Arguments(argv + 2, argv + argc));
}
