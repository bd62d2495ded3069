#pragma once

#include "RelaxedAtomic.h"

#include <cstddef>
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

    /** Clears the state of every channel whose state is not finite, so a NaN or infinity that
        reached the filter does not stay in it. Audio thread. */
    void clearNonFiniteState() noexcept;

    /** Everything one step of the running filter reads: the coefficients for the present
        settings, the gain excess K and the output type. */
    struct Coefficients
    {
        double g, twoR, h, k;
        int type;
    };

    /** The coefficients for the present settings; they are recomputed only when the rate, the
        cutoff or q has changed. Audio thread. */
    Coefficients coefficients() noexcept;

    /** Channel c's state: z1, then z2. Audio thread. */
    double* stateOf (int channel) noexcept { return state.data() + 2 * static_cast<size_t> (channel); }

    /** One step of the filter on `lanes` channels side by side, from in to out, with s1 and s2
        the channels' states. Each lane evaluates exactly the expressions of a single channel, in
        their order, so any number of lanes gives the same bits; two lanes compile to packed
        arithmetic. */
    template <size_t lanes>
    static void step (const Coefficients& f, double (&s1)[lanes], double (&s2)[lanes], const float (&in)[lanes],
                      float (&out)[lanes]) noexcept;

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
    double g = 0.0, twoR = 0.0, h = 0.0;

    // The bit patterns the coefficients were computed from: a change of any bit, a sign of
    // zero included, must reach them.
    std::uint32_t rateBits = 0, cutoffBits = 0, qBits = 0;
    bool coefficientsValid = false;

    // Each channel's two state values side by side: z1 then z2.
    std::vector<double> state;
};

template <size_t lanes>
void ZQ_SVFilter::step (const Coefficients& f, double (&s1)[lanes], double (&s2)[lanes], const float (&in)[lanes],
                        float (&out)[lanes]) noexcept
{
    double x[lanes], hp[lanes], bp[lanes], lp[lanes];

    for (size_t c = 0; c < lanes; ++c)
    {
        x[c] = static_cast<double> (in[c]);
        hp[c] = (((x[c] - f.twoR * s1[c]) - f.g * s1[c]) - s2[c]) * f.h;
        bp[c] = f.g * hp[c] + s1[c];
        lp[c] = f.g * bp[c] + s2[c];
        s1[c] = f.g * hp[c] + bp[c];
        s2[c] = f.g * bp[c] + lp[c];
    }

    switch (f.type)
    {
        case bandShelf:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (x[c] + (f.twoR * bp[c]) * f.k);
            break;
        case highShelf:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (x[c] + f.k * hp[c]);
            break;
        case lowPass:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (lp[c]);
            break;
        case highPass:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (hp[c]);
            break;
        default:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = in[c];
            break;
    }
}
