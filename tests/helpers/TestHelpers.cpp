#include "helpers/TestHelpers.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

namespace
{
thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate (std::size_t size)
{
    if (counting)
        ++allocations;

    if (auto* p = std::malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}
} // namespace

// Replacing the global allocation functions lets a test see any allocation the audio path makes.
void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }

namespace TestHelpers
{
std::vector<float> impulse (size_t length)
{
    std::vector<float> signal (length, 0.0f);

    if (length > 0)
        signal[0] = 1.0f;

    return signal;
}

std::vector<float> sine (double frequency, double sampleRate, size_t length, float amplitude)
{
    std::vector<float> signal (length);
    const double step = 2.0 * M_PI * frequency / sampleRate;

    for (size_t i = 0; i < length; ++i)
        signal[i] = amplitude * static_cast<float> (std::sin (step * static_cast<double> (i)));

    return signal;
}

std::vector<float> noise (size_t length, float amplitude, std::uint32_t seed)
{
    std::mt19937 generator (seed);
    std::uniform_real_distribution<float> distribution (-amplitude, amplitude);
    std::vector<float> signal (length);

    for (auto& sample : signal)
        sample = distribution (generator);

    return signal;
}

double magnitudeDb (const std::vector<float>& signal, double frequency, double sampleRate)
{
    const size_t start = signal.size() / 2;
    const double step = 2.0 * M_PI * frequency / sampleRate;
    double re = 0.0, im = 0.0;

    for (size_t i = start; i < signal.size(); ++i)
    {
        re += signal[i] * std::cos (step * static_cast<double> (i));
        im += signal[i] * std::sin (step * static_cast<double> (i));
    }

    const double amplitude = 2.0 * std::sqrt (re * re + im * im) / static_cast<double> (signal.size() - start);
    return 20.0 * std::log10 (amplitude);
}

std::uint32_t bitsOf (float value)
{
    std::uint32_t bits;
    std::memcpy (&bits, &value, sizeof (bits));
    return bits;
}

AllocationCounter::AllocationCounter()
{
    allocations = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter() { counting = false; }

long AllocationCounter::count() const { return allocations; }
} // namespace TestHelpers
