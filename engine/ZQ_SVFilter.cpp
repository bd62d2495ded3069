#include "ZQ_SVFilter.h"

#include <cassert>
#include <cmath>

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

    z1.assign (static_cast<size_t> (channelCount), 0.0);
    z2.assign (static_cast<size_t> (channelCount), 0.0);

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

float ZQ_SVFilter::processSample (float x, int channel) noexcept
{
    if (bypassed)
        return x;

    const float rate = sampleRate;
    const float fc = std::fmin (cutoff.load(), maximumCutoffRatio * rate);

    // 6.28 rather than 2 pi, in single precision: every filter sits at 0.99949 of its nominal
    // frequency, and saved projects depend on that sound.
    const double omega = static_cast<double> (fc * 6.28f);
    const double halfT = (1.0 / static_cast<double> (rate)) * 0.5;

    g = std::tan (omega * halfT) * (2.0 * static_cast<double> (rate)) * halfT;
    R = 1.0 - static_cast<double> (q.load());
    twoR = R + R;
    h = 1.0 / (g * g + (twoR * g + 1.0));

    const auto c = static_cast<size_t> (channel);
    const double s1 = z1[c];
    const double s2 = z2[c];
    const double in = static_cast<double> (x);

    const double hp = (((in - twoR * s1) - g * s1) - s2) * h;
    const double bp = g * hp + s1;
    const double lp = g * bp + s2;

    z1[c] = g * hp + bp;
    z2[c] = g * bp + lp;

    const double k = static_cast<double> (rawGain.load());

    switch (filterType.load())
    {
        case bandShelf: return static_cast<float> (in + (twoR * bp) * k);
        case highShelf: return static_cast<float> (in + k * hp);
        case lowPass:   return static_cast<float> (lp);
        case highPass:  return static_cast<float> (hp);
        default:        return x;
    }
}
