#include "velmoradine/platform/http/session_task.hpp"

#include "velmoradine/platform/http/curl_engine.hpp"

namespace velmoradine::curl_session {

void SessionTask::resume() {
  State expected = State::suspended;
  if (!state_.compare_exchange_strong(expected, State::running)) return;
  if (auto engine = engine_.lock()) {
    engine->start(shared_from_this());
  } else {
    deliver(Outcome::failed(Error(URLError::cancelled)));
  }
}

void SessionTask::cancel() {
  State current = state_.load();
  do {
    if (current == State::canceling || current == State::completed) return;
  } while (!state_.compare_exchange_weak(current, State::canceling));
  if (auto engine = engine_.lock()) {
    engine->cancel(shared_from_this());
  } else {
    deliver(Outcome::failed(Error(URLError::cancelled)));
  }
}

void SessionTask::deliver(Outcome outcome) {
  if (delivered_.exchange(true)) return;
  state_ = State::completed;
  delegateQueue_->async([self = shared_from_this(), outcome = std::move(outcome)]() mutable {
    if (self->kind_ == TaskKind::data) {
      auto completion = std::move(self->dataCompletion_);
      completion(std::move(outcome.data), std::move(outcome.response), std::move(outcome.error));
      return;
    }
    auto completion = std::move(self->downloadCompletion_);
    std::optional<URL> location;
    if (outcome.file) location = URL::fileURL(*outcome.file);
    completion(std::move(location), std::move(outcome.response), std::move(outcome.error));
    if (outcome.file) {
      std::error_code ignored;
      std::filesystem::remove(*outcome.file, ignored);
    }
  });
}

}  // namespace velmoradine::curl_session
