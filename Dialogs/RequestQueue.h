// What the site model needs of the request pool: queue a header check, suspend with a
// message, stop everything. The pool implements it; tests use a recording fake.
#pragma once

#include <functional>
#include <string>

class THTTPClient;

// A request's completion: called on the user-interface thread with the request's client.
using TRequestCallback = std::function<void(THTTPClient& sender)>;

// The two limits that suspend a crawl: the number of addresses in the map and the number of
// requests waiting in the queue.
enum class TCrawlLimit { Addresses, Queue };

class IRequestQueue {
 public:
  virtual ~IRequestQueue() = default;
  // Queue a HEAD request for `url`, sent with `referer` as its "Referer" header.
  virtual void AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) = 0;
  // Suspend the queue and show `text`, once until the queue is resumed.
  virtual void SuspendWithMessage(const std::string& text) = 0;
  // Stop every running request and empty the queue.
  virtual void TerminateAll() = 0;
  // `limit` is passed: suspend with `text` unless the user has resumed past that limit in this
  // crawl (then the crawl goes on).
  virtual void LimitReached(TCrawlLimit /*limit*/, const std::string& text) { SuspendWithMessage(text); }
  // The user resumed the crawl past `limit`: it no longer suspends this crawl.
  virtual bool LimitLifted(TCrawlLimit /*limit*/) const { return false; }
};
