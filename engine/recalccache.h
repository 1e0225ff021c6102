#pragma once
// Results shared by the cells of one recalculation. A formula that reads
// outside data (a host database query, say) may keep what it fetched for
// the other cells of the same recalculation that ask the same thing;
// nothing outlives the recalculation, so the next one sees the data as it
// is then. Outside a recalculation nothing is kept at all.

#include <QString>
#include <memory>

namespace qor {

class RecalcCache {
public:
    // True while a recalculation runs.
    static bool Active();
    // What was stored under key in this recalculation; null when nothing
    // was (or none runs). Keys are the callers' own: each prefixes its own.
    template <class T>
    static std::shared_ptr<T> Find(const QString& key) {
        return std::static_pointer_cast<T>(findAny(key));
    }
    // Kept until the recalculation ends; ignored outside one.
    static void Store(const QString& key, std::shared_ptr<void> value);

private:
    static std::shared_ptr<void> findAny(const QString& key);
};

// Marks a recalculation: the outermost scope empties the cache when it
// begins and when it ends; nested ones (a page of a whole-report
// recalculation) share it.
class RecalcCacheScope {
public:
    RecalcCacheScope();
    ~RecalcCacheScope();
    RecalcCacheScope(const RecalcCacheScope&) = delete;
    RecalcCacheScope& operator=(const RecalcCacheScope&) = delete;
};

}  // namespace qor
