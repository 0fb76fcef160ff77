#include "update/tests/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace update::testing {

namespace {

int BindLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool SendAll(int fd, const std::string& text) { return SendAll(fd, text.data(), text.size()); }

std::string StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool ReadRequest(int fd, RecordedRequest& request) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0 || head.size() > 65536) return false;
    head.append(buffer, static_cast<size_t>(got));
  }
  head.resize(head.find("\r\n\r\n"));
  size_t lineEnd = head.find("\r\n");
  const std::string requestLine = head.substr(0, lineEnd);
  const size_t firstSpace = requestLine.find(' ');
  const size_t secondSpace = requestLine.find(' ', firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
  request.method = requestLine.substr(0, firstSpace);
  request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  while (lineEnd != std::string::npos) {
    const size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    size_t valueStart = colon + 1;
    while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
    request.headers[Lower(line.substr(0, colon))] = line.substr(valueStart);
  }
  return true;
}

std::string PathOf(const std::string& target) {
  std::string path = target;
  // An absolute address (sent to a proxy) keeps only its path.
  if (path.rfind("http://", 0) == 0) {
    const size_t slash = path.find('/', 7);
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  return path.substr(0, path.find('?'));
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = BindLoopback(port_);
  if (::listen(listener_, 64) != 0) throw std::runtime_error("listen");
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopping_.notify_all();
  ::shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  ::close(listener_);
  for (std::thread& connection : connections_) connection.join();
}

std::u16string LoopbackHttpServer::Host() const {
  const std::string host = "127.0.0.1:" + std::to_string(port_);
  return std::u16string(host.begin(), host.end());
}

std::string LoopbackHttpServer::Address(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Serve(const std::string& path, Reply reply) {
  std::lock_guard lock(mutex_);
  replies_[path] = std::move(reply);
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::AcceptLoop() {
  for (;;) {
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (connection < 0 || stop_) {
      if (connection >= 0) ::close(connection);
      if (stop_) return;
      continue;
    }
    connections_.emplace_back([this, connection] { Answer(connection); });
  }
}

// Holds a stalled connection open until the client gives up or the server stops.
bool LoopbackHttpServer::WaitWhileClientConnected(int connection) {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (stopping_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop_; })) return false;
    }
    pollfd watch{connection, POLLIN, 0};
    if (::poll(&watch, 1, 0) > 0) {
      char byte;
      if (::recv(connection, &byte, 1, MSG_DONTWAIT) <= 0) return true;
    }
  }
}

void LoopbackHttpServer::Answer(int connection) {
  RecordedRequest request;
  if (!ReadRequest(connection, request)) {
    ::close(connection);
    return;
  }
  Reply reply;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    const auto found = replies_.find(PathOf(request.target));
    if (found != replies_.end()) {
      reply = found->second;
    } else {
      reply.status = 404;
      reply.body = "<html><body>not here</body></html>";
    }
  }

  using Ending = Reply::Ending;
  if (reply.ending == Ending::CloseWithoutAnswer) {
    ::close(connection);
    return;
  }
  if (reply.ending == Ending::StallBeforeAnswer) {
    WaitWhileClientConnected(connection);
    ::close(connection);
    return;
  }

  int file = -1;
  off_t fileSize = 0;
  if (!reply.file.empty()) {
    file = ::open(reply.file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file >= 0 && ::fstat(file, &info) == 0) fileSize = info.st_size;
  }
  const size_t bodySize = file >= 0 ? static_cast<size_t>(fileSize) : reply.body.size();

  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + StatusText(reply.status) + "\r\n";
  if (reply.framing == Reply::Framing::ContentLength)
    head += "Content-Length: " + std::to_string(bodySize) + "\r\n";
  else if (reply.framing == Reply::Framing::Chunked)
    head += "Transfer-Encoding: chunked\r\n";
  head += "Connection: close\r\n";
  for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
  head += "\r\n";

  bool sent = SendAll(connection, head);
  const size_t half = bodySize / 2;
  if (!sent) {
  } else if (file >= 0) {
    off_t offset = 0;
    while (offset<fileSize&& ::sendfile(connection, file, &offset, static_cast<size_t>(fileSize - offset))> 0) {
    }
  } else if (reply.ending == Ending::Complete) {
    SendBody(connection, reply);
  } else if (reply.ending == Ending::Trickle) {
    for (char byte : reply.body) {
      if (!SendAll(connection, &byte, 1)) break;
      std::unique_lock lock(mutex_);
      if (stopping_.wait_for(lock, reply.tricklePause, [this] { return stop_; })) break;
    }
  } else {
    SendAll(connection, reply.body.data(), half);
    if (reply.ending == Ending::ResetMidBody) {
      // Let the first half leave before the reset discards what is queued.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const linger abort{1, 0};
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (reply.ending == Ending::StallMidBody) {
      WaitWhileClientConnected(connection);
    }
  }
  if (file >= 0) ::close(file);
  ::close(connection);
}

// Sends a whole body as framed, or its first cutAt bytes, at the reply's rate.
void LoopbackHttpServer::SendBody(int connection, const Reply& reply) {
  const bool chunked = reply.framing == Reply::Framing::Chunked;
  const size_t end = std::min(reply.body.size(), reply.cutAt.value_or(reply.body.size()));
  // A twentieth of a second's worth at a time when throttled.
  const size_t piece = reply.bytesPerSecond ? std::max<size_t>(reply.bytesPerSecond / 20, 1) : size_t{16384};
  for (size_t at = 0; at < end; at += piece) {
    const size_t size = std::min(piece, end - at);
    if (chunked) {
      char line[32];
      std::snprintf(line, sizeof line, "%zx\r\n", size);
      if (!SendAll(connection, line)) return;
    }
    if (!SendAll(connection, reply.body.data() + at, size)) return;
    if (chunked && !SendAll(connection, "\r\n")) return;
    if (reply.bytesPerSecond) {
      std::unique_lock lock(mutex_);
      if (stopping_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stop_; })) return;
    }
  }
  if (chunked && !reply.cutAt) SendAll(connection, "0\r\n\r\n");
}

RefusingPort::RefusingPort() { fd_ = BindLoopback(port_); }

RefusingPort::~RefusingPort() { ::close(fd_); }

std::u16string RefusingPort::Host() const {
  const std::string host = "127.0.0.1:" + std::to_string(port_);
  return std::u16string(host.begin(), host.end());
}

}  // namespace update::testing
