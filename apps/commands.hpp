#pragma once

// The subcommands of the `velmoradine` command-line host. Each takes the
// arguments after its name and returns the process's exit status.

#include <string>
#include <string_view>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine::cli {

using Arguments = std::vector<std::string>;

// Prints the command's usage line on standard error and returns the exit
// status of a command given wrong arguments.
int usageError(std::string_view command);

int infoCommand(const Arguments& arguments);
int renderLayersCommand(const Arguments& arguments);
int renderCommand(const Arguments& arguments);
// An error's description, with its detail in parentheses when it has one.
std::string errorText(const Error& error);

int probeCommand(const Arguments& arguments);
int thumbnailCommand(const Arguments& arguments);
int shareCommand(const Arguments& arguments);
int outletsCommand(const Arguments& arguments);
int sheetCommand(const Arguments& arguments);
int makeSampleCommand(const Arguments& arguments);

}  // namespace velmoradine::cli
