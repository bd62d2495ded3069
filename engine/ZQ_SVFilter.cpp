#include "ZQ_SVFilter.h"

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

void ZQ_SVFilter::clearNonFiniteState() noexcept
{
    for (size_t i = 0; i + 1 < state.size(); i += 2)
    {
        if (! std::isfinite (state[i]) || ! std::isfinite (state[i + 1]))
        {
            state[i] = 0.0;
            state[i + 1] = 0.0;
        }
    }
}

ZQ_SVFilter::Coefficients ZQ_SVFilter::coefficients() noexcept
{
    const float rate = sampleRate;
    const float nominal = cutoff;
    const float resonance = q;

    if (! coefficientsValid || bitsOf (rate) != rateBits || bitsOf (nominal) != cutoffBits || bitsOf (resonance) != qBits)
    {
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

    return { g, twoR, h, static_cast<double> (rawGain.load()), filterType.load() };
}

float ZQ_SVFilter::processSample (float x, int channel) noexcept
{
    if (bypassed)
        return x;

    const auto f = coefficients();
    auto* z = stateOf (channel);
    double s1[1] { z[0] }, s2[1] { z[1] };
    const float in[1] { x };
    float out[1];

    step<1> (f, s1, s2, in, out);
    z[0] = s1[0];
    z[1] = s2[0];
    return out[0];
}
