#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// A value handed from one thread to another whole: the writer publishes a
// complete new one, a reader holds the one it took for as long as it likes
// (the shared pointer keeps it alive) and never sees one half-made. The
// reader's usual question, "anything new?", is one atomic load; the lock is
// taken only to swap the pointer.
template <typename T> class Published
{
public:
    // Any thread.
    void publish(std::shared_ptr<const T> next)
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            value = std::move(next);
        }
        version.fetch_add(1, std::memory_order_release);
    }

    // Any thread: the newest value, null before the first publish.
    std::shared_ptr<const T> load() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return value;
    }

    // A reader: replaces `held` by the newest value if one was published
    // since `seen`; returns whether it did.
    bool refresh(std::shared_ptr<const T> &held, std::uint64_t &seen) const
    {
        const std::uint64_t now = version.load(std::memory_order_acquire);
        if (now == seen)
            return false;
        held = load();
        seen = now;
        return true;
    }

private:
    mutable std::mutex lock;
    std::shared_ptr<const T> value;
    std::atomic<std::uint64_t> version{0};
};
