#pragma once

#include <atomic>

// One shared word of the engine state. Every thread reads and writes it
// whole and without a lock; no thread relies on the order of writes to
// different fields, so relaxed order is all that is asked for.
template <typename T> class Relaxed
{
public:
    constexpr Relaxed(T v = T()) noexcept : value(v) {}
    Relaxed(const Relaxed &other) noexcept : value(other.load()) {}
    Relaxed &operator=(const Relaxed &other) noexcept
    {
        store(other.load());
        return *this;
    }
    Relaxed &operator=(T v) noexcept
    {
        store(v);
        return *this;
    }

    operator T() const noexcept { return load(); }
    T load() const noexcept { return value.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value.store(v, std::memory_order_relaxed); }
    // Flips a flag that only one thread writes: a plain load and store, no
    // read-modify-write needed.
    void flip() noexcept { store(!load()); }

private:
    std::atomic<T> value;
};
