#pragma once

// A single-flight asynchronous fetch with a cached result. The first `fetch`
// starts the loader; every caller, before or after the answer, receives the
// same result, in call order, on the object's own serial queue
// ("ResourceResolutionQueue"). Nothing is retried: a failure is stored and
// replayed like a value.
//
// Threading: `fetch` may be called from any thread and the loader may answer
// from any thread; all state lives on the queue. Queued work and the loader's
// completion hold the object weakly, so pending work never keeps it alive
// (a completion whose object is gone is never called).

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {

// Does the real work for a SafeReintrantCallback. Subclasses override
// `fetch` and call the completion exactly once, from any thread.
template <typename Identifier, typename ResultType>
class SafeReintrantCallbackLoader {
 public:
  virtual ~SafeReintrantCallbackLoader() = default;
  virtual void fetch(const Identifier& identifier, std::function<void(ResultType)> completion) {
    (void)identifier;
    (void)completion;
    fatalError("No method implemented for loading");
  }
};

template <typename Identifier, typename Value>
class SafeReintrantCallback
    : public std::enable_shared_from_this<SafeReintrantCallback<Identifier, Value>> {
 public:
  using ResultType = Result<Value>;
  using Completion = std::function<void(const ResultType&)>;
  using Loader = SafeReintrantCallbackLoader<Identifier, ResultType>;

  // `queueName` is kept for callers that pass one; the queue is always
  // labelled "ResourceResolutionQueue".
  static std::shared_ptr<SafeReintrantCallback> create(
      Identifier identifier, std::string queueName = "SafeReintrantCallback") {
    (void)queueName;
    return std::shared_ptr<SafeReintrantCallback>(new SafeReintrantCallback(std::move(identifier)));
  }

  // Set by the owner right after construction, before the first fetch.
  void setLoader(std::shared_ptr<Loader> loader) {
    queue_->sync([&] { loader_ = std::move(loader); });
  }

  void fetch(Completion completion = nullptr) {
    std::weak_ptr<SafeReintrantCallback> weak = this->shared_from_this();
    queue_->async([weak, completion = std::move(completion)]() mutable {
      if (auto self = weak.lock()) self->performFetch(std::move(completion));
    });
  }

  const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }

 protected:
  explicit SafeReintrantCallback(Identifier identifier)
      : queue_(DispatchQueue::serial("ResourceResolutionQueue")),
        identifier_(std::move(identifier)) {}

 private:
  void performFetch(Completion completion) {
    if (fetchResult_) {
      if (completion) completion(*fetchResult_);
      return;
    }
    if (!loader_) {
      answerWithoutLoader(std::move(completion));
      return;
    }
    if (completion) completions_.push_back(std::move(completion));
    if (fetchStarted_) return;
    fetchStarted_ = true;
    std::weak_ptr<SafeReintrantCallback> weak = this->shared_from_this();
    loader_->fetch(identifier_, [weak, queue = queue_](ResultType result) {
      queue->async([weak, result = std::move(result)] {
        if (auto self = weak.lock()) self->didComplete(result);
      });
    });
  }

  // Without a loader nothing can ever answer, so every caller, the first and
  // any later one, gets the "velmoradine" code 1 error instead of waiting
  // forever.
  void answerWithoutLoader(Completion completion) {
    fetchStarted_ = true;
    if (completion) completion(failure(Error::domain("velmoradine", 1)));
  }

  void didComplete(const ResultType& result) {
    fetchResult_ = result;
    std::vector<Completion> taken;
    taken.swap(completions_);
    for (auto& completion : taken) completion(result);
  }

  const std::shared_ptr<DispatchQueue> queue_;
  const Identifier identifier_;
  std::shared_ptr<Loader> loader_;
  bool fetchStarted_ = false;
  std::optional<ResultType> fetchResult_;
  std::vector<Completion> completions_;
};

}  // namespace velmoradine
