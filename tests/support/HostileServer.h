// A loopback server that misbehaves as a hostile or broken site does, where a server library
// would refuse to: it answers each connection with what a behaviour writes, byte by byte if need
// be, for as long as it likes. Each connection runs on a thread of its own; destroying the server
// ends them all at once.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/TestServer.h"

class HostileConnection {
 public:
  // The request head, as the client sent it (up to its blank line).
  const std::string& Request() const { return Request_; }
  // A HEAD request: the behaviours below send it their answer's head only.
  bool IsHead() const { return Request_.starts_with("HEAD "); }
  // Writes all of `bytes`; false once the client has gone or the server is ending.
  bool Send(std::string_view bytes);
  // Waits `duration`; false when the server is ending (it ends the wait at once).
  bool Pause(std::chrono::milliseconds duration);

 private:
  friend class HostileTestServer;
  int Socket_ = -1;
  int Stop_ = -1;  // readable once the server ends
  std::string Request_;
};

class HostileTestServer {
 public:
  using Behaviour = std::function<void(HostileConnection&)>;
  // Runs `behaviour` for every connection once its request head has arrived; the connection is
  // closed when it returns.
  explicit HostileTestServer(Behaviour behaviour);
  ~HostileTestServer();
  HostileTestServer(const HostileTestServer&) = delete;
  HostileTestServer& operator=(const HostileTestServer&) = delete;

  int Port() const { return Port_; }
  std::string URL(const std::string& path = "/") const;
  // Requests whose head has arrived.
  TestCounter Requests;
  // The head of the last request that arrived.
  std::string LastRequest() const;

  // Behaviours.
  // A 200 text/html answer of `length` bytes, one byte sent every `every`.
  static Behaviour Drip(std::chrono::milliseconds every, size_t length = 100000000);
  // A 200 answer of `type` without a length whose body never ends, sent as fast as it is read.
  static Behaviour Endless(const std::string& type = "text/html");
  // A 200 text/html answer whose body is `decoded` bytes of "<p>" text, sent gzip-compressed with
  // "Content-Encoding: gzip" (a few kilobytes on the wire for megabytes decoded).
  static Behaviour GzipBomb(size_t decoded);

 private:
  void Accept();
  void Serve(std::unique_ptr<HostileConnection> connection);

  Behaviour Behaviour_;
  int Listen_ = -1;
  int Stop_[2] = {-1, -1};
  int Port_ = 0;
  mutable std::mutex Mutex_;
  std::vector<std::thread> Threads_;  // guarded by Mutex_
  std::string LastRequest_;           // guarded by Mutex_
  std::thread Acceptor_;
};

// `data` compressed as a gzip stream.
std::string GzipOf(std::string_view data);
