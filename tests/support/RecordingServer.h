// A loopback HTTP server that records every request it receives (method, path with query,
// headers, arrival time) before its handlers answer it.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/TestServer.h"

struct RecordedRequest {
  std::string Method;
  std::string Path;  // with the query
  httplib::Headers Headers;
  std::chrono::steady_clock::time_point Time;
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class RecordingServer : public TestServer {
 public:
  RecordingServer();
  std::vector<RecordedRequest> Requests() const;
  // How many requests asked for `path` (any method).
  int CountOf(const std::string& path) const;
  // The requests for `path`, in arrival order.
  std::vector<RecordedRequest> RequestsOf(const std::string& path) const;

 private:
  mutable std::mutex Mutex_;
  std::vector<RecordedRequest> Requests_;
};
