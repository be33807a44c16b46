#pragma once

// The subcommands of the `velmoradine` command-line host. Each takes the
// arguments after its name and returns the process's exit status.

#include <string>
#include <vector>

namespace velmoradine::cli {

using Arguments = std::vector<std::string>;

int infoCommand(const Arguments& arguments);
int renderLayersCommand(const Arguments& arguments);

}  // namespace velmoradine::cli
