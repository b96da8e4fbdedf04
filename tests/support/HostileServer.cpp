#include "support/HostileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <stdexcept>

bool HostileConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    pollfd fds[2] = {{Socket_, POLLOUT, 0}, {Stop_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return false;
    if (fds[0].revents & (POLLERR | POLLHUP)) return false;
    const ssize_t n = send(Socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool HostileConnection::Pause(std::chrono::milliseconds duration) {
  pollfd fd{Stop_, POLLIN, 0};
  return poll(&fd, 1, static_cast<int>(duration.count())) == 0;
}

HostileTestServer::HostileTestServer(Behaviour behaviour) : Behaviour_(std::move(behaviour)) {
  Listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (Listen_ < 0 || bind(Listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(Listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0 || listen(Listen_, 16) != 0 || pipe(Stop_) != 0)
    throw std::runtime_error("hostile server: cannot listen on loopback");
  Port_ = ntohs(a.sin_port);
  Acceptor_ = std::thread([this] { Accept(); });
}

HostileTestServer::~HostileTestServer() {
  close(Stop_[1]);  // every wait on the stop pipe ends
  Acceptor_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(Mutex_);
    threads.swap(Threads_);
  }
  for (std::thread& t : threads) t.join();
  close(Stop_[0]);
  close(Listen_);
}

std::string HostileTestServer::LastRequest() const {
  std::lock_guard lock(Mutex_);
  return LastRequest_;
}

std::string HostileTestServer::URL(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + path;
}

void HostileTestServer::Accept() {
  for (;;) {
    pollfd fds[2] = {{Listen_, POLLIN, 0}, {Stop_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const int s = accept4(Listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (s < 0) continue;
    auto connection = std::make_unique<HostileConnection>();
    connection->Socket_ = s;
    connection->Stop_ = Stop_[0];
    std::lock_guard lock(Mutex_);
    Threads_.emplace_back([this, c = connection.release()] { Serve(std::unique_ptr<HostileConnection>(c)); });
  }
}

void HostileTestServer::Serve(std::unique_ptr<HostileConnection> c) {
  // The request head first.
  while (c->Request_.find("\r\n\r\n") == std::string::npos) {
    pollfd fds[2] = {{c->Socket_, POLLIN, 0}, {Stop_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    char buffer[4096];
    const ssize_t n = fds[1].revents ? 0 : read(c->Socket_, buffer, sizeof buffer);
    if (n <= 0) {
      close(c->Socket_);
      return;
    }
    c->Request_.append(buffer, static_cast<size_t>(n));
  }
  c->Request_.resize(c->Request_.find("\r\n\r\n") + 4);
  {
    std::lock_guard lock(Mutex_);
    LastRequest_ = c->Request_;
  }
  Requests.Add();
  Behaviour_(*c);
  shutdown(c->Socket_, SHUT_RDWR);
  close(c->Socket_);
}

HostileTestServer::Behaviour HostileTestServer::Drip(std::chrono::milliseconds every, size_t length) {
  return [every, length](HostileConnection& c) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    if (!c.Send(head) || c.IsHead()) return;
    for (size_t sent = 0; sent < length; ++sent)
      if (!c.Pause(every) || !c.Send("<")) return;
  };
}

HostileTestServer::Behaviour HostileTestServer::Endless(const std::string& type) {
  return [type](HostileConnection& c) {
    if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nConnection: close\r\n\r\n") || c.IsHead()) return;
    std::string block;
    while (block.size() < 65536) block += "<a href=\"x.html\">x</a>\n";
    while (c.Send(block)) {
    }
  };
}

HostileTestServer::Behaviour HostileTestServer::GzipBomb(size_t decoded) {
  std::string text;
  text.reserve(decoded);
  while (text.size() < decoded) text += "<p>";
  text.resize(decoded);
  const std::string body = GzipOf(text);
  return [body](HostileConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: gzip\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + (c.IsHead() ? std::string() : body));
  };
}

std::string GzipOf(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("gzip: cannot start");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("gzip: cannot compress");
  return out;
}
