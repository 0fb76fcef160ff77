#pragma once
// A loopback HTTP server for the update's tests, with faulty answers on demand.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace update::testing {

// How the server answers one path.
struct Reply {
  // How the body's end is told: its length, the connection's end, or
  // chunked transfer coding.
  enum class Framing { ContentLength, CloseDelimited, Chunked };
  enum class Ending {
    Complete,           // the whole body, then the connection closes
    CutShort,           // half the body under the full Content-Length, then FIN
    ResetMidBody,       // half the body, then a connection reset
    StallBeforeAnswer,  // accepts the request and sends nothing
    StallMidBody,       // headers and half the body, then nothing
    Trickle,            // the body one byte at a time with pauses
    CloseWithoutAnswer,
  };
  int status = 200;
  std::string body = {};
  std::vector<std::pair<std::string, std::string>> headers = {};
  Ending ending = Ending::Complete;
  std::chrono::milliseconds tricklePause{0};
  std::filesystem::path file = {};  // when set, the body is this file (sent with sendfile)
  Framing framing = Framing::ContentLength;
  // When set, only this many bytes of the body are sent, then the
  // connection closes (a chunked body without its last chunk).
  std::optional<size_t> cutAt = {};
  size_t bytesPerSecond = 0;  // when set, the body is sent at about this rate
};

struct RecordedRequest {
  std::string method;
  std::string target;                          // as sent: path and query, or an absolute address via a proxy
  std::map<std::string, std::string> headers;  // names in lower case
};

// A small HTTP/1.1 server on 127.0.0.1 with a port of its own, one thread
// per connection; every connection closes after its answer.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  uint16_t Port() const { return port_; }
  std::u16string Host() const;                         // "127.0.0.1:<port>"
  std::string Address(const std::string& path) const;  // "http://127.0.0.1:<port><path>"

  // Paths match without their query; unknown paths get 404.
  void Serve(const std::string& path, Reply reply);
  std::vector<RecordedRequest> Requests() const;

 private:
  void AcceptLoop();
  void Answer(int connection);
  bool WaitWhileClientConnected(int connection);
  void SendBody(int connection, const Reply& reply);

  int listener_ = -1;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable stopping_;
  bool stop_ = false;
  std::map<std::string, Reply> replies_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// A port on 127.0.0.1 that is taken but not listening: connections to it
// are refused for as long as this object lives.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::u16string Host() const;

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace update::testing
