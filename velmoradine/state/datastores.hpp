#pragma once

// The kit's shared in-memory state: the application settings, the API key and
// the end user's identifier. Each store has a process-wide `shared()` instance
// created once on first use; consumers hold the narrow interfaces so tests can
// substitute them.
//
// Threading: stores are written from the main thread and from network
// completions, so each guards its field with its own lock; every get and set
// is safe from any thread.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "velmoradine/model/application_response.hpp"

namespace velmoradine {

class ApplicationDatastoreProtocol {
 public:
  virtual ~ApplicationDatastoreProtocol() = default;
  virtual std::optional<ApplicationResponse> application() const = 0;
  virtual void setApplication(std::optional<ApplicationResponse> application) = 0;
};

class AuthenticationDatastoreProtocol {
 public:
  virtual ~AuthenticationDatastoreProtocol() = default;
  virtual std::optional<std::string> apiKey() const = 0;
  virtual void setApiKey(std::optional<std::string> apiKey) = 0;
};

class ContribDatastoreProtocol {
 public:
  virtual ~ContribDatastoreProtocol() = default;
  virtual std::optional<std::string> userId() const = 0;
  virtual void setUserId(std::optional<std::string> userId) = 0;
};

// A value guarded by a lock: the one field of each store.
template <typename T>
class Guarded {
 public:
  T get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

class ApplicationDatastore final : public ApplicationDatastoreProtocol {
 public:
  static std::shared_ptr<ApplicationDatastore> shared();

  std::optional<ApplicationResponse> application() const override { return application_.get(); }
  void setApplication(std::optional<ApplicationResponse> application) override {
    application_.set(std::move(application));
  }

 private:
  Guarded<std::optional<ApplicationResponse>> application_;
};

class AuthenticationDatastore final : public AuthenticationDatastoreProtocol {
 public:
  // Created with the Info.plist's "VelmoradineClientId"; logs when it is
  // missing.
  static std::shared_ptr<AuthenticationDatastore> shared();
  // Reads the key from the main bundle as `shared()` does; for hosts and
  // tests that need a store configured like the shared one.
  static std::shared_ptr<AuthenticationDatastore> fromInfoPlist();

  std::optional<std::string> apiKey() const override { return apiKey_.get(); }
  void setApiKey(std::optional<std::string> apiKey) override { apiKey_.set(std::move(apiKey)); }

 private:
  Guarded<std::optional<std::string>> apiKey_;
};

class ContribDatastore final : public ContribDatastoreProtocol {
 public:
  static std::shared_ptr<ContribDatastore> shared();

  std::optional<std::string> userId() const override { return userId_.get(); }
  void setUserId(std::optional<std::string> userId) override { userId_.set(std::move(userId)); }

 private:
  Guarded<std::optional<std::string>> userId_;
};

// The three stores, bundled.
struct Datastore {
  std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore;
  std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore;
  std::shared_ptr<ContribDatastoreProtocol> contribDatastore;

  // The shared stores.
  static const Datastore& shared();
};

}  // namespace velmoradine
