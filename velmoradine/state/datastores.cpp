#include "velmoradine/state/datastores.hpp"

#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/core/logger.hpp"

namespace velmoradine {

std::shared_ptr<ApplicationDatastore> ApplicationDatastore::shared() {
  static const auto& store = *new auto(std::make_shared<ApplicationDatastore>());
  return store;
}

std::shared_ptr<AuthenticationDatastore> AuthenticationDatastore::fromInfoPlist() {
  auto store = std::make_shared<AuthenticationDatastore>();
  std::optional<std::string> key = velmoradineClientId();
  store->setApiKey(key);
  if (!key) {
    Logger::velmoradineDebug(
        "[AuthenticationDatastore VelmoradineClientId] VelmoradineClientId is not set, please "
        "update your Info.plist",
        std::nullopt, DocumentationIdentifier::apiKeyNotSet);
  }
  return store;
}

std::shared_ptr<AuthenticationDatastore> AuthenticationDatastore::shared() {
  static const auto& store = *new auto(fromInfoPlist());
  return store;
}

std::shared_ptr<ContribDatastore> ContribDatastore::shared() {
  static const auto& store = *new auto(std::make_shared<ContribDatastore>());
  return store;
}

const Datastore& Datastore::shared() {
  static const Datastore datastore{ApplicationDatastore::shared(),
                                   AuthenticationDatastore::shared(), ContribDatastore::shared()};
  return datastore;
}

}  // namespace velmoradine
