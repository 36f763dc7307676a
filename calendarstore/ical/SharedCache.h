#pragma once
// Immutable values built once per key and shared between threads; at most `limit` kept at once.
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace kalvix {

template <typename Key, typename Value> class SharedCache {
public:
    explicit SharedCache(std::size_t limit)
        : m_limit(limit)
    {
    }

    // The value for `key`, made by `build(key)` on first use. Built outside the lock, so a slow build
    // holds up no other key; two threads may build the same value, harmlessly.
    template <typename Build> std::shared_ptr<const Value> get(const Key& key, Build&& build)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (auto it = m_values.find(key); it != m_values.end())
                return it->second;
        }
        std::shared_ptr<const Value> made = build(key);
        const std::lock_guard lock(m_mutex);
        if (m_values.size() >= m_limit)
            m_values.clear(); // holders keep their own reference
        return m_values.emplace(key, std::move(made)).first->second;
    }

private:
    const std::size_t m_limit;
    std::mutex m_mutex;
    std::map<Key, std::shared_ptr<const Value>> m_values;
};

} // namespace kalvix
