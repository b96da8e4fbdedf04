#include "support/TestServer.h"

#include <chrono>
#include <stdexcept>

TestServer::~TestServer() { Stop(); }

void TestServer::Start() {
  Port_ = Server_.bind_to_any_port("127.0.0.1");
  if (Port_ <= 0) throw std::runtime_error("test server: cannot bind a loopback port");
  Thread_ = std::thread([this] { Server_.listen_after_bind(); });
  // The socket listens already; wait until the accept loop runs, so that Stop() can end it.
  for (int i = 0; i < 2000 && !Server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestServer::Stop() {
  if (Thread_.joinable()) {
    Server_.stop();
    Thread_.join();
  }
}

std::string TestServer::URL(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + path;
}
