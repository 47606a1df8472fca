// The loopback server on libmicrohttpd: one daemon per address (127.0.0.1, and ::1 when asked
// for), each with its own polling thread, answering from the files under one folder. A request
// gets a file only when its Host header is ours, its path is under the token and every step to
// the file is a real folder or file (opened one name at a time, never following a link).
#include "platform/system/local_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/serve_rules.h"

namespace lumra::sys {

struct LocalServer {
  int root = -1;  // the served folder, open
  std::string token;
  uint16_t port = 0;
  bool ipv6 = false;
  MHD_Daemon* daemon4 = nullptr;
  MHD_Daemon* daemon6 = nullptr;
};

namespace {

constexpr unsigned kConnectionLimit = 64;
constexpr unsigned kIdleSeconds = 30;

// Paths reach the handler exactly as the request line gave them: the rules decode each
// component themselves, so that an encoded "/" stays inside its component and is refused there.
size_t keep_escaped(void*, MHD_Connection*, char* text) { return std::strlen(text); }

bool make_token(std::string* token, std::string* reason) {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *reason = std::string("no random bytes for the address token: ") + std::strerror(errno);
      return false;
    }
    got += static_cast<size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  token->clear();
  for (unsigned char b : bytes) {
    token->push_back(kHex[b >> 4]);
    token->push_back(kHex[b & 15]);
  }
  return true;
}

void add_common_headers(MHD_Response* response) {
  MHD_add_response_header(response, "Cache-Control", "no-store");
  MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
}

MHD_Result answer_status(MHD_Connection* connection, unsigned status) {
  const char* text = status == MHD_HTTP_NOT_FOUND            ? "Not found\n"
                     : status == MHD_HTTP_METHOD_NOT_ALLOWED ? "Only GET and HEAD\n"
                     : status == MHD_HTTP_FORBIDDEN          ? "Forbidden\n"
                     : status == MHD_HTTP_URI_TOO_LONG       ? "Path too long\n"
                                                             : "Bad request\n";
  MHD_Response* response =
      MHD_create_response_from_buffer(std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
  if (!response) return MHD_NO;
  add_common_headers(response);
  MHD_add_response_header(response, "Content-Type", "text/plain; charset=utf-8");
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) MHD_add_response_header(response, "Allow", "GET, HEAD");
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

// Opens the file the components name under the root, one step at a time without following a
// link; -1 when any step is missing, a link, or not a folder (a file at the end).
int open_beneath(int root, const std::vector<std::string>& components) {
  int folder = root;
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    const int next = openat(folder, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder != root) close(folder);
    if (next < 0) return -1;
    folder = next;
  }
  // Non-blocking, so that a FIFO planted in the folder cannot hold the server's thread.
  const int file = openat(folder, components.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (folder != root) close(folder);
  if (file < 0) return -1;
  struct stat info {};
  if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(file);
    return -1;
  }
  return file;
}

MHD_Result answer_file(MHD_Connection* connection, const LocalServer& server, const serve::Target& target) {
  const int file = open_beneath(server.root, target.components);
  if (file < 0) return answer_status(connection, MHD_HTTP_NOT_FOUND);
  struct stat info {};
  fstat(file, &info);
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  const char* range_header = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
  const serve::Range range = serve::parse_range(range_header ? range_header : "", size);
  if (range.kind == serve::Range::kUnsatisfiable) {
    close(file);
    MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!response) return MHD_NO;
    add_common_headers(response);
    MHD_add_response_header(response, "Content-Range", ("bytes */" + std::to_string(size)).c_str());
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_RANGE_NOT_SATISFIABLE, response);
    MHD_destroy_response(response);
    return result;
  }
  const bool part = range.kind == serve::Range::kPart;
  const uint64_t first = part ? range.first : 0;
  const uint64_t length = part ? range.length : size;
  // The response owns the descriptor from here and closes it.
  MHD_Response* response = MHD_create_response_from_fd_at_offset64(length, file, first);
  if (!response) {
    close(file);
    return MHD_NO;
  }
  add_common_headers(response);
  MHD_add_response_header(response, "Accept-Ranges", "bytes");
  MHD_add_response_header(response, "Content-Type", serve::content_type(target.components.back()));
  if (part) {
    const std::string content_range = "bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1) +
                                      "/" + std::to_string(size);
    MHD_add_response_header(response, "Content-Range", content_range.c_str());
  }
  const MHD_Result result = MHD_queue_response(connection, part ? MHD_HTTP_PARTIAL_CONTENT : MHD_HTTP_OK, response);
  MHD_destroy_response(response);
  return result;
}

MHD_Result answer(void* data, MHD_Connection* connection, const char* url, const char* method, const char*,
                  const char*, size_t*, void**) {
  const LocalServer& server = *static_cast<const LocalServer*>(data);
  if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
    return answer_status(connection, MHD_HTTP_METHOD_NOT_ALLOWED);
  }
  const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
  if (!host || !serve::host_allowed(host, server.port, server.ipv6)) {
    return answer_status(connection, MHD_HTTP_FORBIDDEN);
  }
  const serve::Target target = serve::map_request_path(url, server.token);
  if (target.status != 200) return answer_status(connection, static_cast<unsigned>(target.status));
  return answer_file(connection, server, target);
}

MHD_Daemon* start_daemon(LocalServer* server, const sockaddr* address, unsigned extra_flags) {
  const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | extra_flags;
  return MHD_start_daemon(flags, server->port, nullptr, nullptr, answer, server, MHD_OPTION_SOCK_ADDR, address,
                          MHD_OPTION_UNESCAPE_CALLBACK, keep_escaped, nullptr, MHD_OPTION_CONNECTION_LIMIT,
                          kConnectionLimit, MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_END);
}

}  // namespace

void LocalServerStop::operator()(LocalServer* server) const {
  stop_local_server(server);
  delete server;
}

LocalServerHandle start_local_server(const LocalServerOptions& options, std::string* reason) {
  std::string ignored;
  if (!reason) reason = &ignored;
  LocalServerHandle server(new LocalServer);
  server->ipv6 = options.also_ipv6;
  server->root = open(options.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (server->root < 0) {
    *reason = "cannot open " + options.root + " to serve it: " + std::strerror(errno);
    return nullptr;
  }
  if (!make_token(&server->token, reason)) return nullptr;

  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  v4.sin_port = 0;  // the system picks
  server->daemon4 = start_daemon(server.get(), reinterpret_cast<const sockaddr*>(&v4), 0);
  if (!server->daemon4) {
    *reason = "cannot start the web server on 127.0.0.1";
    return nullptr;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(server->daemon4, MHD_DAEMON_INFO_BIND_PORT);
  if (!info || info->port == 0) {
    *reason = "the web server did not say which port it listens on";
    return nullptr;
  }
  server->port = info->port;
  if (options.also_ipv6) {
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    v6.sin6_port = htons(server->port);
    server->daemon6 = start_daemon(server.get(), reinterpret_cast<const sockaddr*>(&v6), MHD_USE_IPv6);
    if (!server->daemon6) {
      *reason = "cannot start the web server on [::1]:" + std::to_string(server->port);
      return nullptr;
    }
  }
  return server;
}

std::string local_server_address(const LocalServer& server) {
  return "http://127.0.0.1:" + std::to_string(server.port) + "/" + server.token + "/";
}

void stop_local_server(LocalServer* server) {
  if (!server) return;
  if (server->daemon6) MHD_stop_daemon(server->daemon6);
  if (server->daemon4) MHD_stop_daemon(server->daemon4);
  server->daemon4 = server->daemon6 = nullptr;
  if (server->root >= 0) close(server->root);
  server->root = -1;
}

}  // namespace lumra::sys
