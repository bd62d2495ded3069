#include "ZQ_SVFilter.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace
{
std::uint32_t bitsOf (float value) noexcept
{
    std::uint32_t bits;
    std::memcpy (&bits, &value, sizeof (bits));
    return bits;
}

// What one running filter needs per sample, read once.
struct Stage
{
    double g, twoR, h, k;
    int type;
};

// One step of the filter on `lanes` channels, from in to out. The lanes sit side by side so
// that two channels compile to packed arithmetic; each lane evaluates exactly the scalar
// expressions, in their order, so every path gives the same bits.
template <size_t lanes>
inline void tick (const Stage& f, double (&s1)[lanes], double (&s2)[lanes], const float (&in)[lanes],
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
        case ZQ_SVFilter::bandShelf:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (x[c] + (f.twoR * bp[c]) * f.k);
            break;
        case ZQ_SVFilter::highShelf:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (x[c] + f.k * hp[c]);
            break;
        case ZQ_SVFilter::lowPass:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (lp[c]);
            break;
        case ZQ_SVFilter::highPass:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = static_cast<float> (hp[c]);
            break;
        default:
            for (size_t c = 0; c < lanes; ++c)
                out[c] = in[c];
            break;
    }
}

// Filter s works on sample t - s at step t. The filters of one step then depend only on the
// step before, so the CPU overlaps their updates, where run sample by sample each would wait
// for the one before it. Every filter still sees its samples in order.
template <size_t lanes>
void runInSeries (const Stage* filters, double* const* states, int count, float* const* channels, int numSamples) noexcept
{
    double s1[ZQ_SVFilter::maximumInSeries][lanes], s2[ZQ_SVFilter::maximumInSeries][lanes];
    float slot[ZQ_SVFilter::maximumInSeries + 1][lanes] {};

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
            tick<lanes> (filters[s], s1[s], s2[s], slot[s], slot[s + 1]);

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

void ZQ_SVFilter::prepare (float rate, int channelCount)
{
    assert (rate > 0.0f && channelCount > 0);

    sampleRate = rate;
    q = 0.69f;
    cutoff = 5.0f;
    rawGain = 0.0f;
    filterType = highPass;
    qType = constantQ;
    gainDB = 0.0f;
    bypassed = false;

    state.assign (2 * static_cast<size_t> (channelCount), 0.0);
    coefficientsValid = false;

    // A gain of 0 dB always means bypassed.
    bypassed = true;
}

void ZQ_SVFilter::setGain (float dB) noexcept
{
    rawGain = static_cast<float> (std::pow (10.0, static_cast<double> (dB) * 0.05) - 1.0);
    gainDB = dB;
    bypassed = (dB == 0.0f) ? true : globalBypass.load();
}

void ZQ_SVFilter::setBypass (bool value) noexcept
{
    bypassed = value;
    globalBypass = value;
}

void ZQ_SVFilter::updateCoefficients() noexcept
{
    const float rate = sampleRate;
    const float nominal = cutoff;
    const float resonance = q;

    if (coefficientsValid && bitsOf (rate) == rateBits && bitsOf (nominal) == cutoffBits && bitsOf (resonance) == qBits)
        return;

    const float fc = std::fmin (nominal, maximumCutoffRatio * rate);

    // 6.28 rather than 2 pi, in single precision: every filter sits at 0.99949 of its nominal
    // frequency, and saved projects depend on that sound.
    const double omega = static_cast<double> (fc * 6.28f);
    const double halfT = (1.0 / static_cast<double> (rate)) * 0.5;

    g = std::tan (omega * halfT) * (2.0 * static_cast<double> (rate)) * halfT;
    const double R = 1.0 - static_cast<double> (resonance);
    twoR = R + R;
    h = 1.0 / (g * g + (twoR * g + 1.0));

    rateBits = bitsOf (rate);
    cutoffBits = bitsOf (nominal);
    qBits = bitsOf (resonance);
    coefficientsValid = true;
}

float ZQ_SVFilter::processSample (float x, int channel) noexcept
{
    if (bypassed)
        return x;

    updateCoefficients();
    const Stage stage { g, twoR, h, static_cast<double> (rawGain.load()), filterType.load() };

    auto* z = state.data() + 2 * static_cast<size_t> (channel);
    double s1[1] { z[0] }, s2[1] { z[1] };
    const float in[1] { x };
    float out[1];

    tick<1> (stage, s1, s2, in, out);
    z[0] = s1[0];
    z[1] = s2[0];
    return out[0];
}

void ZQ_SVFilter::processInSeries (ZQ_SVFilter* const* filters, int numFilters, float* const* channels, int numChannels,
                                   int numSamples) noexcept
{
    assert (numFilters <= maximumInSeries);

    Stage stages[maximumInSeries];
    ZQ_SVFilter* running[maximumInSeries];
    int count = 0;

    // A bypassed filter passes its input and keeps its state: it simply leaves the row.
    for (int i = 0; i < numFilters; ++i)
    {
        auto& f = *filters[i];

        if (f.bypassed)
            continue;

        f.updateCoefficients();
        stages[count] = { f.g, f.twoR, f.h, static_cast<double> (f.rawGain.load()), f.filterType.load() };
        running[count++] = &f;
    }

    if (count == 0 || numSamples <= 0)
        return;

    for (int c = 0; c < numChannels; c += 2)
    {
        double* states[maximumInSeries];

        for (int s = 0; s < count; ++s)
            states[s] = running[s]->state.data() + 2 * static_cast<size_t> (c);

        if (numChannels - c >= 2)
            runInSeries<2> (stages, states, count, channels + c, numSamples);
        else
            runInSeries<1> (stages, states, count, channels + c, numSamples);
    }
}
