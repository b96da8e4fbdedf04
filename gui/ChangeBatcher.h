// Change notices in batches: a model collects what changed (row positions, tree entries) and
// tells the view once, a short time after the first change, so that a burst of changes during a
// crawl costs one repaint. Insertions, removals and resets are never batched: the model tells
// them at once, flushing or dropping what it collected first.
#pragma once

#include <QTimer>
#include <algorithm>
#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace gui {

// How long changes are collected by default, in milliseconds.
inline constexpr int kChangeBatchInterval = 50;

template <typename Key>
class ChangeBatcher {
 public:
  // Receives a batch: each key once, in ascending order.
  using Tell = std::function<void(const std::vector<Key>&)>;

  explicit ChangeBatcher(Tell tell, int milliseconds = kChangeBatchInterval) : Tell_(std::move(tell)) {
    Timer_.setSingleShot(true);
    Timer_.setInterval(milliseconds);
    QObject::connect(&Timer_, &QTimer::timeout, [this] { Flush(); });
  }
  ChangeBatcher(const ChangeBatcher&) = delete;
  ChangeBatcher& operator=(const ChangeBatcher&) = delete;

  // Records a change; with an interval of 0 it is told at once.
  void Add(Key key) {
    if (Timer_.interval() == 0) {
      Tell_(std::vector<Key>{key});
      return;
    }
    Keys_.insert(key);
    if (!Timer_.isActive()) Timer_.start();
  }
  // Tells what was collected, now.
  void Flush() {
    Timer_.stop();
    if (Keys_.empty()) return;
    std::vector<Key> keys(Keys_.begin(), Keys_.end());
    Keys_.clear();
    std::sort(keys.begin(), keys.end(), std::less<Key>());
    Tell_(keys);
  }
  // Drops what was collected: before a reset, when the keys may no longer name anything.
  void Clear() {
    Timer_.stop();
    Keys_.clear();
  }
  // A reset announced by the core: drops what was collected and calls `begin` (the model's
  // beginResetModel), once however often the core announces it before it ends.
  void BeginReset(const std::function<void()>& begin) {
    Clear();
    if (Resetting_) return;
    Resetting_ = true;
    begin();
  }
  // The end of that reset: calls `end` (endResetModel) when a reset was begun.
  void EndReset(const std::function<void()>& end) {
    if (!Resetting_) return;
    Resetting_ = false;
    end();
  }
  // How long changes are collected before they are told (0: at once).
  void SetInterval(int milliseconds) { Timer_.setInterval(milliseconds); }
  int Interval() const { return Timer_.interval(); }
  // How many distinct changes wait to be told.
  size_t Pending() const { return Keys_.size(); }

 private:
  Tell Tell_;
  std::unordered_set<Key> Keys_;
  bool Resetting_ = false;
  QTimer Timer_;
};

// Calls `changed(first, last)` once for each run of neighbouring rows in `rows` (ascending),
// leaving out rows at or beyond `count`.
void ForEachRowRun(const std::vector<int>& rows, int count, const std::function<void(int first, int last)>& changed);

}  // namespace gui
