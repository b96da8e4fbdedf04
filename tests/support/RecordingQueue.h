// A stand-in for the request pool that records what link insertion asks of it.
#pragma once

#include <string>
#include <vector>

#include "Dialogs/RequestQueue.h"

class RecordingQueue : public IRequestQueue {
 public:
  struct Request {
    std::string URL;
    std::string Referer;
    bool HasCallback;
  };
  void AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) override {
    Heads.push_back({url, referer, static_cast<bool>(callback)});
  }
  void SuspendWithMessage(const std::string& text) override { Suspensions.push_back(text); }
  void TerminateAll() override { ++Terminations; }

  std::vector<Request> Heads;
  std::vector<std::string> Suspensions;
  int Terminations = 0;
};
