#include "platform/system/local_server.h"

namespace lumra::sys {

// Placeholder until the HTTP server is built: starting always fails.
struct LocalServer {};

void LocalServerStop::operator()(LocalServer* server) const {
  stop_local_server(server);
  delete server;
}

LocalServerHandle start_local_server(const LocalServerOptions&, std::string* reason) {
  if (reason) *reason = "the local web server is not available in this build";
  return nullptr;
}

std::string local_server_address(const LocalServer&) { return {}; }

void stop_local_server(LocalServer*) {}

}  // namespace lumra::sys
