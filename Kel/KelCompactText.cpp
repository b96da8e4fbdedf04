#include "Kel/KelCompactText.h"

#include <mutex>
#include <unordered_set>

namespace kel_detail {
namespace {
struct TTextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

struct TTextPool {
  std::mutex Lock;
  std::unordered_set<std::string, TTextHash, std::equal_to<>> Texts;
};

TTextPool& Pool() {
  static auto* pool = new TTextPool;  // never destroyed: texts may be read while the program ends
  return *pool;
}
}  // namespace

const std::string* PooledText(std::string_view text) {
  TTextPool& pool = Pool();
  std::lock_guard lock(pool.Lock);
  if (auto found = pool.Texts.find(text); found != pool.Texts.end()) return &*found;
  if (pool.Texts.size() >= kMaxPooledTexts) return nullptr;
  return &*pool.Texts.emplace(text).first;
}

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}
}  // namespace kel_detail
