#include "helpers/TestHelpers.h"
#include "helpers/Sanitizers.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>
#include <cstring>
#include <random>

namespace
{
thread_local bool counting = false;
thread_local long allocations = 0;
thread_local bool countingLocks = false;
thread_local long locks = 0;

#if ! TARVOLEN_THREAD_SANITIZER
template <typename Function>
Function nextDefinition (const char* name)
{
    return reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));
}
#endif

void countAllocation() noexcept
{
    if (counting)
        ++allocations;
}
} // namespace

// Every way onto the heap ends in the C allocator: operator new calls malloc, and JUCE's
// HeapBlock (so AudioBuffer and MemoryBlock) calls malloc and realloc directly. Counting there
// lets a test see all of them. Elsewhere than glibc or the sanitizers nothing is counted, and the
// test's own check of the counter fails.
#if TARVOLEN_ADDRESS_SANITIZER || TARVOLEN_THREAD_SANITIZER
// The sanitizers own malloc, so here the counter listens to their allocator instead; that of
// ThreadSanitizer does not call it for memalign, posix_memalign and aligned_alloc.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, std::size_t),
                                                          void (*) (const volatile void*));

namespace
{
[[maybe_unused]] const int allocationHook = __sanitizer_install_malloc_and_free_hooks (
    [] (const volatile void*, std::size_t) { countAllocation(); },
    [] (const volatile void*) {});
} // namespace
#elif defined (__GLIBC__)
// glibc's own entry points, so the replacements need no dlsym, which may itself allocate.
extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);
extern "C" void* __libc_memalign (std::size_t, std::size_t);

extern "C" void* malloc (std::size_t size) noexcept
{
    countAllocation();
    return __libc_malloc (size);
}

extern "C" void* calloc (std::size_t count, std::size_t size) noexcept
{
    countAllocation();
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* block, std::size_t size) noexcept
{
    countAllocation();
    return __libc_realloc (block, size);
}

extern "C" void* memalign (std::size_t alignment, std::size_t size) noexcept
{
    countAllocation();
    return __libc_memalign (alignment, size);
}

extern "C" void* aligned_alloc (std::size_t alignment, std::size_t size) noexcept
{
    return memalign (alignment, size);
}

extern "C" int posix_memalign (void** block, std::size_t alignment, std::size_t size) noexcept
{
    if (alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;

    auto* allocated = memalign (alignment, size);

    if (allocated == nullptr)
        return ENOMEM;

    *block = allocated;
    return 0;
}
#endif

#if ! TARVOLEN_THREAD_SANITIZER
// Interposing the mutex functions lets a test see any lock the audio path takes.
extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    static const auto real = nextDefinition<int (*) (pthread_mutex_t*)> ("pthread_mutex_lock");

    if (countingLocks)
        ++locks;

    return real (mutex);
}

extern "C" int pthread_mutex_trylock (pthread_mutex_t* mutex)
{
    static const auto real = nextDefinition<int (*) (pthread_mutex_t*)> ("pthread_mutex_trylock");

    if (countingLocks)
        ++locks;

    return real (mutex);
}
#endif

#if JUCE_LINUX || JUCE_WINDOWS
namespace juce
{
// The message queue's own step; the plug-in is built without modal loops, so the public
// runDispatchLoopUntil is not there to drive the queue from a test.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce
#endif

namespace TestHelpers
{
void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (milliseconds);

    do
    {
#if JUCE_LINUX || JUCE_WINDOWS
        while (juce::dispatchNextMessageOnSystemQueue (true)) {}
#else
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
#endif
        juce::Thread::sleep (1);
    } while (juce::Time::getMillisecondCounter() < end);
}

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

bool matchesFigure (float value, const char* figure)
{
    const std::string text (figure);
    int digits = 0;
    bool leading = true;

    for (auto c : text)
    {
        if (c >= '1' && c <= '9')
            leading = false;

        if (c >= '0' && c <= '9' && ! leading)
            ++digits;
    }

    char printed[64];
    std::snprintf (printed, sizeof (printed), "%.*g", std::max (digits, 1), static_cast<double> (value));
    return std::strtod (printed, nullptr) == std::strtod (figure, nullptr);
}

testing::AssertionResult sameBits (const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return testing::AssertionFailure() << "lengths differ: " << a.size() << " and " << b.size();

    for (size_t i = 0; i < a.size(); ++i)
        if (bitsOf (a[i]) != bitsOf (b[i]))
            return testing::AssertionFailure() << "first difference at sample " << i << ": " << a[i] << " and " << b[i];

    return testing::AssertionSuccess();
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

LockCounter::LockCounter()
{
    locks = 0;
    countingLocks = true;
}

LockCounter::~LockCounter() { countingLocks = false; }

long LockCounter::count() const { return locks; }
} // namespace TestHelpers
