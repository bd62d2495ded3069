#pragma once

#include "RelaxedAtomic.h"

#include <cstdint>
#include <vector>

/** Second-order state-variable filter in topology-preserving form (trapezoidal integrators,
    as in Zavalishin's "The Art of VA Filter Design"), one sample of one channel per call.

    Settings are single precision and may be written from any thread while audio runs; the
    coefficients, the state and the arithmetic are double precision and belong to the audio
    thread. Depending on filterType it delivers a bell, a high shelf, a low-pass or a high-pass.

    The coefficients are recomputed only when the rate, the cutoff or q has changed since they
    were last computed, which gives the same bits as computing them on every sample.
*/
class ZQ_SVFilter
{
public:
    /** Values of filterType. */
    static constexpr int bandShelf = 1;
    static constexpr int highShelf = 2;
    static constexpr int lowPass   = 3;
    static constexpr int highPass  = 4;

    /** Value of qType: damping R = 1 - q. */
    static constexpr int constantQ = 0;

    /** Puts the filter into its default setting (a bypassed 5 Hz high-pass) and sizes and
        clears the per-channel state. The only call that allocates; never while audio runs. */
    void prepare (float rate, int channelCount);

    /** Sets the bell or shelf gain in dB. 0 dB bypasses the filter, any other gain restores the
        bypass last given to setBypass. Any thread; lock-free. */
    void setGain (float dB) noexcept;

    /** Bypasses the filter, or lets it run. Any thread; lock-free. */
    void setBypass (bool value) noexcept;

    /** Filters one sample of one channel; channel must be below the prepared channel count.
        Returns the input unchanged while bypassed. Audio thread. */
    float processSample (float x, int channel) noexcept;

    /** Runs numSamples of each channel through the filters in series, in place, channel c on
        state slot c of every filter: bit for bit what processSample gives filter by filter and
        sample by sample. Each filter's settings are read once, at the start. Audio thread. */
    static void processInSeries (ZQ_SVFilter* const* filters, int numFilters, float* const* channels, int numChannels,
                                 int numSamples) noexcept;

    /** The most filters processInSeries takes. */
    static constexpr int maximumInSeries = 5;

    /** Rate in Hz at which the filter runs. */
    RelaxedAtomic<float> sampleRate { 44100.0f };
    /** Resonance; the damping is 1 - q. */
    RelaxedAtomic<float> q { 0.69f };
    /** Corner or centre frequency in Hz (the filter sits at 6.28 / 2pi of it, see processSample). */
    RelaxedAtomic<float> cutoff { 5.0f };
    /** 10^(gainDB / 20) - 1: what the bell and shelf outputs add. */
    RelaxedAtomic<float> rawGain { 0.0f };
    /** Gain in dB as last given to setGain. */
    RelaxedAtomic<float> gainDB { 0.0f };
    /** While true, processSample returns its input and touches nothing. */
    RelaxedAtomic<bool> bypassed { true };
    /** The bypass last requested by setBypass. */
    RelaxedAtomic<bool> globalBypass { false };
    /** bandShelf, highShelf, lowPass or highPass. */
    RelaxedAtomic<int> filterType { bandShelf };
    /** Damping law; constantQ is the only one. */
    RelaxedAtomic<int> qType { constantQ };

    /** Highest cutoff the coefficients use, as a fraction of the running rate. The prewarp
        tangent reaches its pole just above half the rate; staying under it keeps the filter
        finite and stable for any cutoff an owner passes. */
    static constexpr float maximumCutoffRatio = 0.49f;

private:
    /** Brings g, twoR and h in line with the rate, cutoff and q, computing only on a change. */
    void updateCoefficients() noexcept;

    double g = 0.0, twoR = 0.0, h = 0.0;

    // The bit patterns the coefficients were computed from: a change of any bit, a sign of
    // zero included, must reach them.
    std::uint32_t rateBits = 0, cutoffBits = 0, qBits = 0;
    bool coefficientsValid = false;

    // Each channel's two state values side by side: z1 then z2.
    std::vector<double> state;
};
