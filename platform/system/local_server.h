// A web server for one folder of files, on the loopback interface only: a desktop program hands
// the browser an http:// address in place of a file path, so that a page may fetch its own files
// and upload its own pictures to WebGL, which browsers refuse to pages opened from file://.
// Part of the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/local_server.cpp), in its own library (lumra_local_server) so that only the
// programs that serve link the HTTP library.
//
// The server answers on a thread of its own and touches nothing of its caller's state. It serves
// files only, from inside the folder, under a random path prefix (the token); everything else is
// refused (see platform/posix/local_server.cpp for the rules).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lumra::sys {

struct LocalServerOptions {
  std::string root;        // the folder served; nothing outside it is ever read
  bool also_ipv6 = false;  // listen on ::1 as well as 127.0.0.1
};

struct LocalServer;  // a running server
struct LocalServerStop {
  void operator()(LocalServer* server) const;  // stops it (see stop_local_server) and frees it
};
using LocalServerHandle = std::unique_ptr<LocalServer, LocalServerStop>;

// Starts serving options.root on 127.0.0.1 at a port the system picks. Null when it cannot
// start, with a one-line reason in *reason.
LocalServerHandle start_local_server(const LocalServerOptions& options, std::string* reason);

// The address under which the folder is served, ending in "/":
// "http://127.0.0.1:PORT/TOKEN/"; a file's address is this plus its path inside the folder.
std::string local_server_address(const LocalServer& server);

// Stops the server: when it returns, no request is being answered and none will be. Calling it
// again does nothing.
void stop_local_server(LocalServer* server);

}  // namespace lumra::sys
