#pragma once

#include <atomic>

/** A setting shared between a control thread and the audio thread.

    Each setting stands alone, so relaxed ordering is enough: it makes the hand-over well
    defined without costing anything on the audio thread. Unlike std::atomic it can be
    copied, so the DSP units that hold it stay plain values.
*/
template <typename T>
class RelaxedAtomic
{
public:
    static_assert (std::atomic<T>::is_always_lock_free, "settings must never take a lock");

    constexpr RelaxedAtomic() noexcept = default;
    constexpr RelaxedAtomic (T initial) noexcept : value (initial) {}
    RelaxedAtomic (const RelaxedAtomic& other) noexcept : value (other.load()) {}

    RelaxedAtomic& operator= (const RelaxedAtomic& other) noexcept { store (other.load()); return *this; }
    RelaxedAtomic& operator= (T newValue) noexcept                 { store (newValue); return *this; }

    operator T() const noexcept                { return load(); }
    T load() const noexcept                    { return value.load (std::memory_order_relaxed); }
    void store (T newValue) noexcept           { value.store (newValue, std::memory_order_relaxed); }

private:
    std::atomic<T> value {};
};
