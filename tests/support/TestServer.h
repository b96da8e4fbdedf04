// A real HTTP server on loopback for tests: configure its handlers, Start(), request it.
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

class TestServer {
 public:
  TestServer() = default;
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  httplib::Server& Http() { return Server_; }
  // Binds 127.0.0.1 on a free port and serves on a thread of its own until destroyed.
  void Start();
  void Stop();
  int Port() const { return Port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string URL(const std::string& path = "/") const;

 private:
  httplib::Server Server_;
  std::thread Thread_;
  int Port_ = 0;
};
