// The running figures of a crawl for the window's status bar: addresses found, checked (they
// have an answer) and broken, kept up to date from the site tree's change notices at the cost
// of one byte per address, and the requests answered per second over the last seconds.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "app/SpiderTools.h"

class TCrawlTally : private TSiteTreeObserver {
 public:
  explicit TCrawlTally(TSiteTree& tree);
  ~TCrawlTally() override;
  TCrawlTally(const TCrawlTally&) = delete;
  TCrawlTally& operator=(const TCrawlTally&) = delete;

  int Found() const;
  int Checked() const { return Checked_; }
  int Broken() const { return Broken_; }
  // Counts every address again (after a change made without a notice).
  void Recount();

  // The number of requests answered so far at `seconds` (any steady clock); the rate is taken
  // over the samples of the last two seconds.
  void Sample(double seconds, long requestsDone);
  int RequestsPerSecond() const;
  void ForgetSamples() { Samples_.clear(); }

 private:
  void TreeReset() override { Recount(); }
  void EntryAdded(TTreeEntry* entry) override { Update(entry); }
  void EntryChanged(TTreeEntry* entry) override { Update(entry); }
  void Update(const TTreeEntry* entry);
  static uint8_t StateOf(const TSpiderNode& node);

  TSiteTree& Tree_;
  std::vector<uint8_t> State_;  // by node index: 1 checked, 2 broken
  int Checked_ = 0;
  int Broken_ = 0;
  std::deque<std::pair<double, long>> Samples_;
};
