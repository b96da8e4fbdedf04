#include "support/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

TestServer::TestServer() : Server_(std::make_unique<httplib::Server>()) {}

TestServer::TestServer(std::unique_ptr<httplib::Server> server, std::string scheme)
    : Server_(std::move(server)), Scheme_(std::move(scheme)) {}

TestServer::~TestServer() { Stop(); }

std::unique_ptr<TestServer> TestServer::Secure() {
  // A P-256 key and a certificate for 127.0.0.1, valid for a day, signed by itself.
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  if (!key || !cert) throw std::runtime_error("test server: cannot generate a certificate");
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -60);
  X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  X509_sign(cert, key, EVP_sha256());
  std::string pem;
  if (BIO* bio = BIO_new(BIO_s_mem())) {
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    pem.assign(data, static_cast<size_t>(size));
    BIO_free(bio);
  }
  auto server = std::make_unique<httplib::SSLServer>(cert, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  if (!server->is_valid()) throw std::runtime_error("test server: invalid TLS setup");
  std::unique_ptr<TestServer> result(new TestServer(std::move(server), "https"));
  result->CertificatePEM_ = pem;
  return result;
}

void TestServer::Start() {
  if (!Start("127.0.0.1")) throw std::runtime_error("test server: cannot bind a loopback port");
}

bool TestServer::Start(const std::string& address) {
  // Clients keep their connections open; stopping the server waits for each idle one up to this
  // long, so a short wait keeps every test that uses a server short.
  Server_->set_keep_alive_timeout(1);
  Port_ = Server_->bind_to_any_port(address);
  if (Port_ <= 0) return false;
  Host_ = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  Thread_ = std::thread([this] { Server_->listen_after_bind(); });
  // The socket listens already; wait until the accept loop runs, so that Stop() can end it.
  for (int i = 0; i < 2000 && !Server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void TestServer::Stop() {
  if (Thread_.joinable()) {
    Server_->stop();
    Thread_.join();
  }
}

std::string TestServer::URL(const std::string& path) const {
  return Scheme_ + "://" + Host_ + ":" + std::to_string(Port_) + path;
}

// ---------------------------------------------------------------------------------------------

void TestGate::Open() {
  std::lock_guard lock(Mutex_);
  Open_ = true;
  Opened_.notify_all();
}

bool TestGate::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(Mutex_);
  return Opened_.wait_for(lock, timeout, [&] { return Open_; });
}

bool TestGate::IsOpen() const {
  std::lock_guard lock(Mutex_);
  return Open_;
}

void TestCounter::Add(int n) {
  std::lock_guard lock(Mutex_);
  Value_ += n;
  Changed_.notify_all();
}

int TestCounter::Value() const {
  std::lock_guard lock(Mutex_);
  return Value_;
}

bool TestCounter::WaitFor(int value, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(Mutex_);
  return Changed_.wait_for(lock, timeout, [&] { return Value_ >= value; });
}

// ---------------------------------------------------------------------------------------------

namespace {

int BoundLoopbackSocket(int& port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("test server: no socket");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    close(s);
    throw std::runtime_error("test server: cannot bind a loopback port");
  }
  port = ntohs(a.sin_port);
  return s;
}

}  // namespace

SilentTestServer::SilentTestServer() {
  Listen_ = BoundLoopbackSocket(Port_);
  if (listen(Listen_, 16) != 0 || pipe(Wake_) != 0) throw std::runtime_error("test server: cannot listen");
  Thread_ = std::thread([this] { Serve(); });
}

SilentTestServer::~SilentTestServer() {
  const char stop = 's';
  if (write(Wake_[1], &stop, 1) != 1) {
  }
  Thread_.join();
  close(Listen_);
  close(Wake_[0]);
  close(Wake_[1]);
}

std::string SilentTestServer::URL(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + path;
}

void SilentTestServer::Serve() {
  struct Connection {
    int Socket;
    std::string Received;
    bool Counted = false;
  };
  std::vector<Connection> connections;
  for (;;) {
    std::vector<pollfd> fds{{Wake_[0], POLLIN, 0}, {Listen_, POLLIN, 0}};
    for (const Connection& c : connections) fds.push_back({c.Socket, POLLIN, 0});
    if (poll(fds.data(), fds.size(), 10000) < 0) continue;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int s = accept4(Listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (s >= 0) connections.push_back({s, std::string()});
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Connection& c = connections[i - 2];
      char buffer[4096];
      const ssize_t n = read(c.Socket, buffer, sizeof buffer);
      if (n > 0) c.Received.append(buffer, static_cast<size_t>(n));
      if (!c.Counted && c.Received.find("\r\n\r\n") != std::string::npos) {
        c.Counted = true;
        Requests.Add();
      }
      if (n <= 0) {
        // The client went away: forget the connection.
        close(c.Socket);
        c.Socket = -1;
      }
    }
    std::erase_if(connections, [](const Connection& c) { return c.Socket < 0; });
  }
  for (const Connection& c : connections) close(c.Socket);
}

RefusingTestPort::RefusingTestPort() { Socket_ = BoundLoopbackSocket(Port_); }

RefusingTestPort::~RefusingTestPort() { close(Socket_); }

std::string RefusingTestPort::URL(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + path;
}
