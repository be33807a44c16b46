#pragma once

// The task a libcurl session hands out, and what a finished one hands to its
// completion. Private to the http area.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "velmoradine/platform/http/url_session.hpp"

namespace velmoradine::curl_session {

class Engine;

enum class TaskKind { data, download };

// What a finished task hands to its completion.
struct Outcome {
  std::optional<Data> data;
  std::optional<std::filesystem::path> file;
  std::optional<HTTPURLResponse> response;
  std::optional<Error> error;

  static Outcome failed(Error error) {
    Outcome outcome;
    outcome.error = std::move(error);
    return outcome;
  }
  static Outcome received(Data data, HTTPURLResponse response) {
    Outcome outcome;
    outcome.data = std::move(data);
    outcome.response = std::move(response);
    return outcome;
  }
  static Outcome downloaded(std::filesystem::path file, HTTPURLResponse response) {
    Outcome outcome;
    outcome.file = std::move(file);
    outcome.response = std::move(response);
    return outcome;
  }
};

class SessionTask final : public URLSessionTask, public std::enable_shared_from_this<SessionTask> {
 public:
  SessionTask(std::uint64_t identifier, URLRequest request, DataTaskCompletion dataCompletion,
              DownloadTaskCompletion downloadCompletion, std::weak_ptr<Engine> engine,
              std::shared_ptr<DispatchQueue> delegateQueue)
      : identifier_(identifier),
        request_(std::move(request)),
        kind_(dataCompletion ? TaskKind::data : TaskKind::download),
        dataCompletion_(std::move(dataCompletion)),
        downloadCompletion_(std::move(downloadCompletion)),
        engine_(std::move(engine)),
        delegateQueue_(std::move(delegateQueue)) {}

  void resume() override;
  void cancel() override;
  State state() const override { return state_.load(); }
  std::uint64_t taskIdentifier() const override { return identifier_; }
  const URLRequest& originalRequest() const override { return request_; }

  TaskKind kind() const { return kind_; }
  // Hands the outcome to the completion on the delegate queue. Only the
  // first call counts, so racing cancellation and completion still give
  // exactly one completion.
  void deliver(Outcome outcome);

 private:
  const std::uint64_t identifier_;
  const URLRequest request_;
  const TaskKind kind_;
  DataTaskCompletion dataCompletion_;
  DownloadTaskCompletion downloadCompletion_;
  std::weak_ptr<Engine> engine_;
  std::shared_ptr<DispatchQueue> delegateQueue_;
  std::atomic<State> state_ = State::suspended;
  std::atomic<bool> delivered_ = false;
};

}  // namespace velmoradine::curl_session
