#pragma once

// Starting the desktop's programs: handlers that outlive the request, and
// small helpers (the clipboard programs) fed through their standard input.
// Programs are found on $PATH, start with default signal handling and an
// empty signal mask, and inherit no descriptor beyond standard error: the
// kit's standard output is its console, kept free of other programs' text.

#include <string>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/services/desktop_entry.hpp"

namespace velmoradine::desktop_process {

// Starts `arguments` (program first) in a session of its own, with standard
// input and output on /dev/null, and returns once it runs (launchFailed when
// it could not be executed). A thread of its own reaps it when it ends, so
// no zombie is left, however long it runs. Callable from any thread.
Result<void> startDetached(const std::vector<std::string>& arguments);

// Runs `arguments` with `input` on its standard input (standard output and
// error on /dev/null) and waits for it to end: its exit status, or 128 plus
// the signal that ended it. A program that stops reading early is not an
// error here. Blocks the calling thread until the program ends.
Result<int> runFeeding(const std::vector<std::string>& arguments, const Data& input);

// Starts the application of `entry` with `uris` (files as file URLs), each
// command line its Exec key gives detached; fails on the first that does not
// start, or when the Exec key is malformed.
Result<void> launch(const DesktopEntry& entry, const std::vector<std::string>& uris);

}  // namespace velmoradine::desktop_process
