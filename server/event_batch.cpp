#include "server/event_batch.hpp"

#include <nlohmann/json.hpp>
#include <optional>

#include "server/http_support.hpp"
#include "server/wire.hpp"

namespace velmoradine::devserver {

namespace {

using nlohmann::json;
// The library's own builder of values from parse events (what json::parse
// uses), fed one event of the batch at a time.
using DomBuilder = nlohmann::detail::json_sax_dom_parser<json>;

// Walks the document's events; only the element of "events" being read is
// ever built as a value.
class BatchReader : public nlohmann::json_sax<json> {
 public:
  std::vector<std::string> events;
  std::optional<std::string> problem;
  bool tooDeep = false;
  bool sawEvents = false;

  bool null() override {
    return scalar(true, [&] { return builder_->null(); });
  }
  bool boolean(bool value) override {
    return scalar(false, [&] { return builder_->boolean(value); });
  }
  bool number_integer(number_integer_t value) override {
    return scalar(false, [&] { return builder_->number_integer(value); });
  }
  bool number_unsigned(number_unsigned_t value) override {
    return scalar(false, [&] { return builder_->number_unsigned(value); });
  }
  bool number_float(number_float_t value, const string_t& text) override {
    return scalar(false, [&] { return builder_->number_float(value, text); });
  }
  bool string(string_t& value) override {
    return scalar(false, [&] { return builder_->string(value); });
  }
  bool binary(binary_t& value) override {
    return scalar(false, [&] { return builder_->binary(value); });
  }
  bool start_object(std::size_t size) override { return open(true, size); }
  bool start_array(std::size_t size) override { return open(false, size); }
  bool end_object() override {
    return close([&] { return builder_->end_object(); });
  }
  bool end_array() override {
    return close([&] { return builder_->end_array(); });
  }
  bool key(string_t& name) override {
    if (builder_) return builder_->key(name);
    if (depth_ == 1) {
      atEventsKey_ = name == "events";
      if (atEventsKey_ && sawEvents) fail("events appears twice");
      if (atEventsKey_) sawEvents = true;
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  void fail(std::string message) {
    if (!problem) problem = std::move(message);
  }
  std::string elementPath() const { return "events[" + std::to_string(index_) + "]"; }

  // A value where the structure allows it: the top level must be an
  // object, "events" an array of objects.
  void check(bool isObject, bool isArray, bool isNull) {
    if (depth_ == 0 && !isObject) fail("the body must be a JSON object");
    if (depth_ == 1 && atEventsKey_) {
      if (isNull)
        fail("events is required");
      else if (!isArray)
        fail("events must be an array");
      else
        inEvents_ = true;
      atEventsKey_ = false;
    }
    if (depth_ == 2 && inEvents_ && !isObject) fail(elementPath() + " must be an object");
  }

  template <typename Build>
  bool scalar(bool isNull, Build build) {
    if (builder_) return build();
    check(false, false, isNull);
    if (depth_ == 2 && inEvents_) ++index_;
    return true;
  }

  bool open(bool isObject, std::size_t size) {
    if (++depth_ > kMaxJsonDepth) {
      tooDeep = true;
      return false;
    }
    if (builder_) return isObject ? builder_->start_object(size) : builder_->start_array(size);
    --depth_;
    check(isObject, !isObject, false);
    ++depth_;
    if (depth_ == 3 && inEvents_ && isObject && !problem) {
      element_ = json();
      builder_.emplace(element_, false);
      return builder_->start_object(size);
    }
    return true;
  }

  template <typename Build>
  bool close(Build build) {
    --depth_;
    if (builder_) {
      if (!build()) return false;
      if (depth_ == 2) finishElement();
      return true;
    }
    if (depth_ == 2 && inEvents_) ++index_;
    if (depth_ == 1 && inEvents_) inEvents_ = false;
    return true;
  }

  void finishElement() {
    builder_.reset();
    if (auto checked = checkBatchEvent(element_, elementPath()); !checked) {
      fail(checked.error());
    } else {
      events.push_back(element_.dump(-1, ' ', false, json::error_handler_t::replace));
    }
    element_ = json();
    ++index_;
  }

  int depth_ = 0;
  bool atEventsKey_ = false;
  bool inEvents_ = false;
  std::size_t index_ = 0;
  json element_;
  std::optional<DomBuilder> builder_;
};

}  // namespace

std::expected<std::vector<std::string>, BatchProblem> readEventBatch(std::string_view body) {
  BatchReader reader;
  bool parsed = json::sax_parse(body, &reader);
  if (reader.tooDeep) {
    return std::unexpected(BatchProblem{
        "malformed_json", "JSON nests deeper than " + std::to_string(kMaxJsonDepth) + " levels"});
  }
  if (!parsed) return std::unexpected(BatchProblem{"malformed_json", "the body is not valid JSON"});
  if (!reader.problem && !reader.sawEvents) reader.problem = "events is required";
  if (reader.problem) return std::unexpected(BatchProblem{"invalid_request", *reader.problem});
  return std::move(reader.events);
}

}  // namespace velmoradine::devserver
