// bench-site-server: serves the generated site of TBenchSite on loopback.
// Usage: bench-site-server SIZE [SEED] [PORT]   (PORT 0: a free port; the port is printed)
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/site-server/BenchSite.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-site-server SIZE [SEED] [PORT]\n");
    return 2;
  }
  const uint64_t size = std::strtoull(argv[1], nullptr, 10);
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const int port = argc > 3 ? std::atoi(argv[3]) : 0;
  const TBenchSite site(seed, size);
  httplib::Server server;
  // Headers and body go out in two writes: without this, Nagle's algorithm holds the second one
  // until the client's delayed acknowledgement (40 ms) on every kept-alive connection.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(1000000);
  server.Get(".*", [&site](const httplib::Request& req, httplib::Response& res) {
    const TBenchAnswer a = site.Answer(req.path);
    res.status = a.Status;
    if (!a.Location.empty()) res.set_header("Location", a.Location);
    res.set_content(a.Body, a.Type);
  });
  const int bound = port > 0 ? (server.bind_to_port("127.0.0.1", port) ? port : -1) : server.bind_to_any_port("127.0.0.1");
  if (bound <= 0) {
    std::fprintf(stderr, "bench-site-server: cannot bind 127.0.0.1\n");
    return 1;
  }
  std::printf("%d\n", bound);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
