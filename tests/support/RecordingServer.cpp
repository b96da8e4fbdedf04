#include "support/RecordingServer.h"

std::string RecordedRequest::Header(const std::string& name) const {
  auto it = Headers.find(name);
  return it == Headers.end() ? std::string() : it->second;
}

bool RecordedRequest::HasHeader(const std::string& name) const { return Headers.find(name) != Headers.end(); }

RecordingServer::RecordingServer() {
  Http().set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    // The target as sent, with its query.
    const std::string path = req.target.empty() ? req.path : req.target;
    std::lock_guard lock(Mutex_);
    Requests_.push_back({req.method, path, req.headers, std::chrono::steady_clock::now()});
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

std::vector<RecordedRequest> RecordingServer::Requests() const {
  std::lock_guard lock(Mutex_);
  return Requests_;
}

int RecordingServer::CountOf(const std::string& path) const {
  std::lock_guard lock(Mutex_);
  int n = 0;
  for (const auto& r : Requests_) n += r.Path == path;
  return n;
}

std::vector<RecordedRequest> RecordingServer::RequestsOf(const std::string& path) const {
  std::lock_guard lock(Mutex_);
  std::vector<RecordedRequest> out;
  for (const auto& r : Requests_)
    if (r.Path == path) out.push_back(r);
  return out;
}
