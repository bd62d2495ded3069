#include "SVFilterSeries.h"

#include <algorithm>
#include <cassert>

namespace
{
using Coefficients = ZQ_SVFilter::Coefficients;
constexpr int maximumFilters = SVFilterSeries::maximumFilters;

template <size_t lanes>
void runPipelined (const Coefficients* filters, double* const* states, int count, float* const* channels,
                   int numSamples) noexcept
{
    double s1[maximumFilters][lanes], s2[maximumFilters][lanes];
    float slot[maximumFilters + 1][lanes] {};

    for (int s = 0; s < count; ++s)
    {
        for (size_t c = 0; c < lanes; ++c)
        {
            s1[s][c] = states[s][2 * c];
            s2[s][c] = states[s][2 * c + 1];
        }
    }

    for (int t = 0; t < numSamples + count - 1; ++t)
    {
        if (t < numSamples)
            for (size_t c = 0; c < lanes; ++c)
                slot[0][c] = channels[c][t];

        // From the last filter back, so each reads its input before the one ahead overwrites it.
        for (int s = std::min (count - 1, t); s >= std::max (0, t - numSamples + 1); --s)
            ZQ_SVFilter::step<lanes> (filters[s], s1[s], s2[s], slot[s], slot[s + 1]);

        if (t >= count - 1)
            for (size_t c = 0; c < lanes; ++c)
                channels[c][t - count + 1] = slot[count][c];
    }

    for (int s = 0; s < count; ++s)
    {
        for (size_t c = 0; c < lanes; ++c)
        {
            states[s][2 * c] = s1[s][c];
            states[s][2 * c + 1] = s2[s][c];
        }
    }
}
} // namespace

void SVFilterSeries::process (ZQ_SVFilter* const* filters, int numFilters, float* const* channels, int numChannels,
                              int numSamples) noexcept
{
    assert (numFilters <= maximumFilters);

    Coefficients running[maximumFilters];
    ZQ_SVFilter* units[maximumFilters];
    int count = 0;

    for (int i = 0; i < numFilters; ++i)
    {
        if (filters[i]->bypassed)
            continue;

        running[count] = filters[i]->coefficients();
        units[count++] = filters[i];
    }

    if (count == 0 || numSamples <= 0)
        return;

    for (int c = 0; c < numChannels; c += 2)
    {
        double* states[maximumFilters];

        for (int s = 0; s < count; ++s)
            states[s] = units[s]->stateOf (c);

        if (numChannels - c >= 2)
            runPipelined<2> (running, states, count, channels + c, numSamples);
        else
            runPipelined<1> (running, states, count, channels + c, numSamples);
    }
}
