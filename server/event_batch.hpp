#pragma once

// Reads a `BatchEvents` body without building the whole document: a batch
// of tens of megabytes would otherwise become a tree many times its size.
// Each wrapped event is built, checked and serialised alone.

#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine::devserver {

struct BatchProblem {
  // "malformed_json" or "invalid_request", with the message for the reply.
  std::string code;
  std::string message;
};

// The batch's events as compact JSON texts, in order, or the first problem.
// A body that is not JSON is reported as such even when an event before the
// fault is invalid.
std::expected<std::vector<std::string>, BatchProblem> readEventBatch(std::string_view body);

}  // namespace velmoradine::devserver
