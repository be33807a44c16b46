#pragma once

// What every route handler reaches: the configuration, the database, the
// file store and the upload signer. Handlers run on the HTTP library's worker
// threads; everything here is safe to use from several at once.

#include <httplib.h>

#include <string>

#include "server/database.hpp"
#include "server/media.hpp"
#include "server/options.hpp"
#include "server/signing.hpp"
#include "server/storage.hpp"

namespace velmoradine::devserver {

struct ServerContext {
  const Options& options;
  Database& database;
  Storage& storage;
  const UploadSigner& signer;
  MediaStreams& mediaStreams;
  // The address the server listens on; set once before the first request.
  std::string listenBaseURL;

  std::string baseURL(const httplib::Request& request) const;
};

void registerApiRoutes(httplib::Server& server, ServerContext& context);
void registerUploadRoutes(httplib::Server& server, ServerContext& context);
void registerCollectorRoutes(httplib::Server& server, ServerContext& context);
void registerPageRoutes(httplib::Server& server, ServerContext& context);

}  // namespace velmoradine::devserver
