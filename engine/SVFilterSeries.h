#pragma once

#include "ZQ_SVFilter.h"

/** Runs several ZQ_SVFilter units in series over a block.

    Filter by filter and sample by sample, each filter's update waits for the one before it
    within the same sample, so the CPU runs them one at a time. Here filter s works on sample
    t - s at step t: the filters of one step depend only on the step before and the CPU
    overlaps them, and two channels run side by side in packed arithmetic. Every filter still
    sees its samples in order, with the same arithmetic, so the output is bit for bit what
    processSample gives.
*/
namespace SVFilterSeries
{
    /** The most filters process takes. */
    inline constexpr int maximumFilters = 5;

    /** Runs numSamples of each channel through the filters in series, in place, channel c on
        state slot c of every filter. Each filter's settings are read once, at the start; a
        bypassed filter passes the block and keeps its state. Audio thread. */
    void process (ZQ_SVFilter* const* filters, int numFilters, float* const* channels, int numChannels,
                  int numSamples) noexcept;
}
