#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace TestHelpers
{
/** A unit impulse followed by silence. */
std::vector<float> impulse (std::size_t length);

/** A sine of the given frequency (Hz) and amplitude at the given rate. */
std::vector<float> sine (double frequency, double sampleRate, std::size_t length, float amplitude = 1.0f);

/** Deterministic white noise in [-amplitude, amplitude]. */
std::vector<float> noise (std::size_t length, float amplitude, std::uint32_t seed = 1);

/** Level in dB of the given frequency in the second half of the signal, where a filter has
    settled (single-bin DFT, normalised so a full-scale sine reads 0 dB). */
double magnitudeDb (const std::vector<float>& signal, double frequency, double sampleRate);

/** True when the value, printed with as many significant digits as the published figure has,
    reads exactly as the figure: agreement to every digit given. */
bool matchesFigure (float value, const char* figure);

/** The float's bit pattern, so two results can be compared for identity (NaN and -0 included). */
std::uint32_t bitsOf (float value);

/** Success when both sequences hold the same bits, else where they first differ. */
testing::AssertionResult sameBits (const std::vector<float>& a, const std::vector<float>& b);

/** Runs every sample through unit.processSample (sample, channel). */
template <typename Unit>
std::vector<float> render (Unit& unit, const std::vector<float>& input, int channel = 0)
{
    std::vector<float> output (input.size());

    for (std::size_t i = 0; i < input.size(); ++i)
        output[i] = unit.processSample (input[i], channel);

    return output;
}

/** Runs the message loop for about the given time, so timers and asynchronous updates (the
    parameter state's flush, the attachments) are delivered. Message thread. */
void pumpMessages (int milliseconds);

/** Counts the heap allocations made on the calling thread while it is alive, through operator
    new and the C allocation functions alike. */
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter (const AllocationCounter&) = delete;
    AllocationCounter& operator= (const AllocationCounter&) = delete;

    long count() const;
};
/** Counts the mutexes the calling thread locks while it is alive. Under ThreadSanitizer, which
    needs to see every lock itself, nothing is counted. */
class LockCounter
{
public:
    LockCounter();
    ~LockCounter();
    LockCounter (const LockCounter&) = delete;
    LockCounter& operator= (const LockCounter&) = delete;

    long count() const;
};
} // namespace TestHelpers

/** Expects two float sequences to be identical bit for bit; accepts a streamed message. */
#define EXPECT_SAME_BITS(a, b) EXPECT_TRUE (TestHelpers::sameBits ((a), (b)))
