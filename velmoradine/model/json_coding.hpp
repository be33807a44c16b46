#pragma once

// JSON coding of the wire records. A record decodes with
// `static Result<T> decode(const JSONReader&)` (the strict, non-throwing
// reader of platform/foundation/json_reader.hpp; `decodeJSON<T>(text)` parses
// and decodes) and encodes with `nlohmann::json toJSON() const`.

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "velmoradine/platform/foundation/json_reader.hpp"

namespace velmoradine::json {

// The JSON text of `value` (keys as the record names them, no extra spaces),
// or nothing when it has no JSON form (invalid UTF-8 text, a non-finite
// number): the strict counterpart of analytics' encodeReplacingInvalidUTF8.
template <typename T>
std::optional<std::string> encodeJSON(const T& value) {
  // nlohmann reports a value it cannot write only by exception (and the
  // records follow it); it goes no further than here.
  try {
    return value.toJSON().dump();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace velmoradine::json
