#include "engine/recalccache.h"

#include <QHash>
#include <atomic>
#include <mutex>

namespace qor {
namespace {

struct State {
    std::mutex lock;
    // Changed under the lock; read without it by Active(), which every
    // outside-data cell of a recalculation asks first.
    std::atomic<int> depth = 0;
    QHash<QString, std::shared_ptr<void>> entries;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

bool RecalcCache::Active() {
    return state().depth.load(std::memory_order_acquire) > 0;
}

std::shared_ptr<void> RecalcCache::findAny(const QString& key) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.depth == 0) return nullptr;
    return s.entries.value(key);
}

void RecalcCache::Store(const QString& key, std::shared_ptr<void> value) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.depth > 0) s.entries.insert(key, std::move(value));
}

RecalcCacheScope::RecalcCacheScope() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.depth++ == 0) s.entries.clear();
}

RecalcCacheScope::~RecalcCacheScope() {
    QHash<QString, std::shared_ptr<void>> dropped;
    {
        State& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        if (--s.depth == 0) dropped.swap(s.entries);
    }
    // The entries go outside the lock: their owners' destructors may be
    // anything.
}

}  // namespace qor
