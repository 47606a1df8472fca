// A plain HTTP/1.1 client for tests: the request goes out byte for byte as written (nothing
// normalises or encodes the path), and the answer is read until the server closes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>

namespace lumra::sys::test_support {

struct HttpReply {
  int status = -1;  // -1: no connection
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  std::string header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

// Sends `request` to 127.0.0.1:port (or [::1]:port) and reads the reply, waiting at most 10 s
// for any read.
inline HttpReply http_exchange(uint16_t port, const std::string& request, bool ipv6 = false) {
  HttpReply reply;
  const int s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return reply;
  timeval timeout{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in6 address6{};
  address6.sin6_family = AF_INET6;
  address6.sin6_port = htons(port);
  address6.sin6_addr = in6addr_loopback;
  const int connected = ipv6 ? connect(s, reinterpret_cast<sockaddr*>(&address6), sizeof address6)
                             : connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (connected != 0) {
    close(s);
    return reply;
  }
  for (size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(s, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string raw;
  char buffer[4096];
  for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) raw.append(buffer, static_cast<size_t>(n));
  close(s);
  const size_t head_end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 && raw.compare(0, 9, "HTTP/1.0 ") != 0) return reply;
  reply.status = std::stoi(raw.substr(9, 3));
  const std::string head = raw.substr(0, head_end);
  for (size_t line = head.find("\r\n"); line != std::string::npos;) {
    const size_t next = head.find("\r\n", line + 2);
    const std::string text = head.substr(line + 2, next == std::string::npos ? std::string::npos : next - line - 2);
    if (const size_t colon = text.find(':'); colon != std::string::npos) {
      std::string name = text.substr(0, colon);
      for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      size_t value = colon + 1;
      while (value < text.size() && text[value] == ' ') ++value;
      reply.headers[name] = text.substr(value);
    }
    line = next;
  }
  if (head_end != std::string::npos) reply.body = raw.substr(head_end + 4);
  return reply;
}

// "GET PATH HTTP/1.1" with the Host header given (none when empty) and any extra header lines.
inline std::string http_request(const std::string& method, const std::string& path, const std::string& host,
                                const std::string& extra = "") {
  std::string request = method + " " + path + " HTTP/1.1\r\n";
  if (!host.empty()) request += "Host: " + host + "\r\n";
  return request + extra + "Connection: close\r\n\r\n";
}

// The port and the token of an address "http://127.0.0.1:PORT/TOKEN/...".
inline bool split_server_address(const std::string& address, uint16_t* port, std::string* token) {
  const std::string prefix = "http://127.0.0.1:";
  if (address.compare(0, prefix.size(), prefix) != 0) return false;
  const size_t slash = address.find('/', prefix.size());
  if (slash == std::string::npos) return false;
  *port = static_cast<uint16_t>(std::stoi(address.substr(prefix.size(), slash - prefix.size())));
  const size_t end = address.find('/', slash + 1);
  *token = address.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
  return true;
}

}  // namespace lumra::sys::test_support
