// A real HTTP server on loopback for tests: configure its handlers, Start(), request it.
// Besides: an HTTPS server with a self-signed certificate, a server that accepts connections
// and never answers, and a port where connections are refused.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestServer {
 public:
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // An HTTPS server whose certificate (for 127.0.0.1) is self-signed, generated on the spot.
  static std::unique_ptr<TestServer> Secure();

  httplib::Server& Http() { return *Server_; }
  // Binds 127.0.0.1 on a free port and serves on a thread of its own until destroyed.
  void Start();
  // The same on another loopback address ("::1"); false when it cannot be bound.
  bool Start(const std::string& address);
  void Stop();
  int Port() const { return Port_; }
  // "http://127.0.0.1:<port>" (or "https://...") followed by `path`.
  std::string URL(const std::string& path = "/") const;
  // The self-signed certificate of a Secure() server, in PEM form.
  const std::string& CertificatePEM() const { return CertificatePEM_; }

 private:
  TestServer(std::unique_ptr<httplib::Server> server, std::string scheme);
  std::unique_ptr<httplib::Server> Server_;
  std::string Scheme_ = "http";
  std::string Host_ = "127.0.0.1";  // as written in addresses: "[::1]" for an IPv6 address
  std::string CertificatePEM_;
  std::thread Thread_;
  int Port_ = 0;
};

// A latch that handlers wait on (bounded) until the test opens it.
class TestGate {
 public:
  void Open();
  // Waits until opened; false after `timeout`.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool IsOpen() const;

 private:
  mutable std::mutex Mutex_;
  std::condition_variable Opened_;
  bool Open_ = false;
};

// Counts events across threads; tests wait until it reaches a number.
class TestCounter {
 public:
  void Add(int n = 1);
  int Value() const;
  bool WaitFor(int value, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

 private:
  mutable std::mutex Mutex_;
  mutable std::condition_variable Changed_;
  int Value_ = 0;
};

// Accepts connections on 127.0.0.1, reads what the client sends and never answers; the
// connections stay open until the server is destroyed.
class SilentTestServer {
 public:
  SilentTestServer();
  ~SilentTestServer();
  SilentTestServer(const SilentTestServer&) = delete;
  SilentTestServer& operator=(const SilentTestServer&) = delete;
  int Port() const { return Port_; }
  std::string URL(const std::string& path = "/") const;
  // Requests whose head has arrived completely.
  TestCounter Requests;

 private:
  void Serve();
  int Listen_ = -1;
  int Wake_[2] = {-1, -1};
  int Port_ = 0;
  std::thread Thread_;
};

// A loopback port that refuses connections: bound, never listening, held until destroyed.
class RefusingTestPort {
 public:
  RefusingTestPort();
  ~RefusingTestPort();
  RefusingTestPort(const RefusingTestPort&) = delete;
  RefusingTestPort& operator=(const RefusingTestPort&) = delete;
  int Port() const { return Port_; }
  std::string URL(const std::string& path = "/") const;

 private:
  int Socket_ = -1;
  int Port_ = 0;
};
